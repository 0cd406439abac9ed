-- The LÖVE module's answers to the agreement cases (see tests/bindings/agreement.py):
--   love tests/bindings/love/agree CASES [OUT]
-- What a Lua user does: numbers read with tonumber, then the module's calls,
-- which must refuse what is wrong themselves.
package.path = love.filesystem.getSource() .. "/../../../../love/?.lua;" .. package.path
local quavix = require("quavix")
local ffi = require("ffi")

local function fields(line)
  local list = {}
  for field in (line .. "\t"):gmatch("([^\t]*)\t") do list[#list + 1] = field end
  return list
end

local function answer(line)
  local name, seed, from, sets, mutate, buffer = unpack(fields(line))
  local ok, result = pcall(function()
    local random = quavix.random(tonumber(seed))
    local params
    if from == "default" then params = quavix.params()
    elseif from == "randomize" then params = quavix.randomize(random)
    elseif from:sub(1, 7) == "preset:" then params = quavix.preset(from:sub(8), random)
    elseif from:sub(1, 4) == "csv:" then params = quavix.fromSettingsString(from:sub(5))
    else error("unknown source " .. from) end
    for assignment in sets:gmatch("[^;]+") do
      local parameter, value = assignment:match("^([^=]*)=(.*)$")
      params:set(parameter, tonumber(value))
    end
    if mutate ~= "" then params = params:mutate(tonumber(mutate), random) end
    local samples, count = params:render{ random = random, bufferLength = tonumber(buffer) }
    return love.data.encode("string", "hex", love.data.hash("sha256", ffi.string(samples, 2 * count)))
  end)
  return name .. "\t" .. (ok and "ok" or "refused") .. "\t" .. tostring(result):gsub("[\r\n]", " ")
end

function love.load(args)
  local out = args[2] and assert(io.open(args[2], "w")) or io.stdout
  for line in assert(io.lines(args[1])) do out:write(answer(line), "\n") end
  out:close()
  love.event.quit(0)
end
