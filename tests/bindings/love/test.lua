-- The module in LÖVE (this file is the test game's main.lua), as tables of
-- cases: each preset's SoundData holds, byte for byte, the tool's samples of
-- seed 1 (EXPECTED_DIR/NAME.raw) however the source is handed on; lengths
-- follow the buffer; layered sounds are the sum of their layers' renders and
-- the bytes of the tool (QUAVIX_TOOL) for the same layers in a project file;
-- the object calls behave; bad input is refused with the core's words. Prints
-- "ok" or what failed, and quits with 0 or 1.
local quavix = require("quavix")
local ffi = require("ffi")
local expectedDir = os.getenv("EXPECTED_DIR")
local failures = {}
local function expect(condition, what) if not condition then failures[#failures + 1] = what end end

local function readFile(path)
  local file = assert(io.open(path, "rb"))
  local data = file:read("*a")
  file:close()
  return data
end

-- Ways to make and render a preset of seed 1; each must give the tool's samples.
local ways = {
  { "preset(name, 1):soundData()", function(name) return quavix.preset(name, 1):soundData() end },
  { "presetSoundData(name, 1)", function(name) return quavix.presetSoundData(name, 1) end },
  { "preset(name, r):soundData()", function(name) return quavix.preset(name, quavix.random(1)):soundData() end },
  { "preset(name, r):soundData{random = r}", function(name)
      local r = quavix.random(1)
      return quavix.preset(name, r):soundData{ random = r, bufferLength = 5 }
    end },
  { "its number", function(name)
      for number, each in ipairs(quavix.presets) do
        if each == name then return quavix.preset(number - 1, 1):soundData() end
      end
    end },
  { "a copy, rendered twice", function(name)
      local p = quavix.preset(name, 1):copy()
      p:soundData()
      return p:soundData()
    end },
}

-- Sample counts: 41000 samples a buffer second; a stage of stored time s
-- lasts trunc(s^2 * 100000) samples, and a sound 3 more.
local lengths = {
  { "the default 5 s buffer cuts a long sound", function() return quavix.randomize(38):soundData() end, 205000 },
  { "a stored attack of 100 within a 60 s buffer",
    function() return quavix.fromSettingsString(",,100"):soundData{ bufferLength = 60 } end, 2460000 },
  { "a stored attack of 100 in the default buffer",
    function() return quavix.fromSettingsString(",,100"):soundData() end, 205000 },
  { "a zero buffer gives one silent sample", function() return quavix.preset("coin", 1):soundData{ bufferLength = 0 } end, 1 },
  { "stored sustain 0.5, no attack or decay: 0.25 * 100000 + 3",
    function() return quavix.fromSettingsString(",0,0,0.5,0,0"):soundData() end, 25003 },
}

-- Layered sounds through each edge of the rule: 1 and 8 layers, the earliest
-- and latest start, the lowest and highest gain, a muted layer (the longest:
-- it adds no length), a clamped mix, a layer with a source of its own.
local stateOf = {}  -- each layer's random state: where its preset left the source
local function layer(name, seed, options)
  local r = quavix.random(seed)
  local entry = { params = quavix.preset(name, r) }
  for key, value in pairs(options or {}) do entry[key] = value end
  stateOf[entry] = entry.random and entry.random:state() or r:state()
  return entry
end
local layered = {
  { "one layer", function() return { layer("laser", 42) } end, 0 },
  { "eight layers", function()
      local list = {}
      for i = 0, 7 do list[i + 1] = layer(quavix.presets[i % 7 + 1], i + 1, { offset = 997 * i, gainDb = -1.5 * i }) end
      return list
    end, 0 },
  { "the first and the last start", function()
      return { layer("blip", 2, { offset = 2646000 }), layer("jump", 3, { offset = 0 }) }
    end, 0 },
  { "the lowest and the highest gain", function()
      return { layer("powerup", 4, { gainDb = -60 }), layer("blip", 5, { gainDb = 12, bufferLength = 1 }) }
    end },
  { "a muted layer", function()
      return { layer("hurt", 6), layer("explosion", 7, { bufferLength = 60, muted = true }) }
    end, 0 },
  { "a loud mix", function()
      return { layer("explosion", 8, { gainDb = 12 }), layer("explosion", 8, { gainDb = 6, muted = false }) }
    end, "some" },
  { "a source of its own", function()
      return { layer("explosion", 1, { random = quavix.random(3) }), layer("jump", 9, { gainDb = -0.1, bufferLength = 2 }) }
    end },
}

-- The mix from each layer's own render: the sum in double, in layer order, of
-- the float nearest 10^(dB/20) x its samples, rounded half away from zero, clamped.
local function mixOfEachRender(list)
  local renders, length = {}, 0
  for _, entry in ipairs(list) do
    if not entry.muted then
      local samples, count = entry.params:render{ random = entry.random and entry.random:copy(),
                                                  bufferLength = entry.bufferLength }
      renders[#renders + 1] = { samples, count, entry.offset or 0, ffi.new("float[1]", 10 ^ ((entry.gainDb or 0) / 20))[0] }
      length = math.max(length, (entry.offset or 0) + count)
    end
  end
  local sums, out, clipped = ffi.new("double[?]", length + 1), ffi.new("int16_t[?]", length + 1), 0
  for _, each in ipairs(renders) do
    for i = 0, each[2] - 1 do sums[each[3] + i] = sums[each[3] + i] + each[4] * each[1][i] end
  end
  for i = 0, length - 1 do
    local sum = sums[i]
    local whole = sum >= 0 and math.floor(sum) or math.ceil(sum)
    local rounded = whole + (sum - whole >= 0.5 and 1 or 0) - (sum - whole <= -0.5 and 1 or 0)
    if rounded > 32767 or rounded < -32768 then clipped = clipped + 1 end
    out[i] = math.max(-32768, math.min(32767, rounded))
  end
  return ffi.string(out, 2 * length), clipped
end

-- The tool's WAV and what it said, for the layers written as a project file of version 2.
local function toolMix(name, list)
  local fields = {}
  for i, entry in ipairs(list) do
    fields[i] = ('{"seed": %d, "sfs": "%s", "buffer_length": %d, "offset": %d, "gain_db": %.1f, "muted": %s}'):format(
      stateOf[entry], entry.params:settingsFile():gsub(".", function(c) return ("%02x"):format(c:byte()) end),
      entry.bufferLength or 5, entry.offset or 0, entry.gainDb or 0, tostring(entry.muted == true))
  end
  local base = expectedDir .. "/layered"
  local file = assert(io.open(base .. ".json", "wb"))
  file:write('{"format": "quavix-project", "version": 2, "sounds": [{"name": "' .. name .. '", "layers": [' ..
             table.concat(fields, ", ") .. ']}]}')
  file:close()
  local ok = os.execute(("'%s' render --layers '%s.json' --sound '%s' -o '%s.wav' 2> '%s.txt'"):format(
    os.getenv("QUAVIX_TOOL"), base, name, base, base))
  return (ok == 0 or ok == true) and readFile(base .. ".wav") or "", readFile(base .. ".txt")
end

local long = ("x"):rep(100000)
local p = quavix.params()
local function layers(count, options)
  local list = {}
  for i = 1, count do list[i] = { params = p } end
  for key, value in pairs(options or {}) do list[count][key] = value end
  return list
end
-- Calls that must be refused, and what the message says (a plain substring); the core's rules
-- once each, whose edges are the C library's tests.
local refusals = {
  { function() quavix.random(1.5) end, "quavix.random: seed 1.5 is not a whole number" },
  { function() quavix.random(4294967296) end, "seed 4294967296 is out of range (-2147483648 to 4294967295)" },
  { function() quavix.random(-2147483649) end, "out of range (-2147483648 to 4294967295)" },
  { function() quavix.random(0 / 0) end, "is not a whole number" },
  { function() quavix.random(math.huge) end, "is not a whole number" },
  { function() quavix.random("1") end, "quavix.random: seed must be a number, not string" },
  { function() quavix.preset("boom", 1) end, "quavix.preset: unknown preset 'boom' (choose coin, laser" },
  { function() quavix.preset(long, 1) end, "unknown preset '" .. ("x"):rep(40) .. "'..." },
  { function() quavix.preset(7, 1) end, "quavix.preset: unknown preset '7' (choose coin" },
  { function() quavix.preset(true, 1) end, "quavix.preset: name must be a string such as \"coin\" or a number" },
  { function() quavix.preset("coin", {}) end, "quavix.preset: seed must be a number or a random source" },
  { function() p:set(long, 1) end, "quavix.set: unknown parameter '" .. ("x"):rep(40) .. "'..." },
  { function() p:set(3, 1) end, "quavix.set: name must be a string" },
  { function() p:set("DecayTime", "1") end, "quavix.set: DecayTime takes a number, not string" },
  { function() p:set("DecayTime", -1) end, "quavix.set: DecayTime -1: a time cannot be negative" },
  { function() p.set("DecayTime", 1) end, "quavix.set: call it as p:set(...), with a colon" },
  { function() p:mutate(2) end, "quavix.mutate: 2 is not an amount from 0 to 1" },
  { function() p:mutate("a") end, "quavix.mutate: amount must be a number, not string" },
  { function() p:mutate(0.1, 5) end, "quavix.mutate: random must be a random source" },
  { function() p:soundData{ bufferLength = 1.5 } end, "quavix.soundData: bufferLength 1.5 is not a whole number" },
  { function() p:soundData{ bufferLength = 61 } end, "bufferLength 61 is out of range (0 to 60)" },
  { function() p:soundData{ bufferLength = -1 } end, "bufferLength -1 is out of range (0 to 60)" },
  { function() p:soundData{ random = 1 } end, "quavix.soundData: random must be a random source" },
  { function() p:soundData{ buffer = 5 } end, "quavix.soundData: no option 'buffer' (its options: random, bufferLength)" },
  { function() p:soundData(5) end, "quavix.soundData: options must be a table" },
  { function() p:render{ bufferLength = 61 } end, "quavix.render: bufferLength 61" },
  { function() quavix.fromSettingsString("1,,x") end, "quavix.fromSettingsString: field 2 'x': " },
  { function() quavix.fromSettingsString(nil) end, "quavix.fromSettingsString: text must be a string, not nil" },
  { function() quavix.soundData(p) end, "quavix.soundData: parameters have it as a method now: p:soundData(options)" },
  { function() p:source{ type = 1 } end, "quavix.source: type must be a string" },
  { function() quavix.presetSoundData("chime", 1) end, "quavix.presetSoundData: unknown preset 'chime'" },
  { function() quavix.layers(layers(9)) end, "quavix.layers: a layered sound has 1 to 8 layers, not 9" },
  { function() quavix.layers{} end, "quavix.layers: a layered sound has 1 to 8 layers, not 0" },
  { function() quavix.layers(layers(2, { offset = 2646001 })) end,
    "quavix.layers: layer 2: the start is 0 to 2646000 samples (60 s), not 2646001" },
  { function() quavix.layers(layers(1, { offset = -1 })) end, "layer 1: the start is 0 to 2646000 samples (60 s), not -1" },
  { function() quavix.layers(layers(1, { offset = 2 ^ 40 })) end, "samples (60 s), not 1099511627776" },
  { function() quavix.layers(layers(1, { offset = 1.5 })) end, "quavix.layers: layer 1: offset 1.5 is not a whole number" },
  { function() quavix.layers(layers(1, { gainDb = 12.1 })) end,
    "quavix.layers: layer 1: the gain is -60.0 to +12.0 dB in steps of 0.1, not +12.1 dB" },
  { function() quavix.layers(layers(8, { gainDb = -60.1 })) end, "layer 8: the gain is -60.0 to +12.0 dB in steps of 0.1, not -60.1 dB" },
  { function() quavix.layers(layers(1, { gainDb = -1e9 })) end, "gainDb -1000000000 is not a number of decibels in steps of 0.1" },
  { function() quavix.layers(layers(1, { gainDb = 0.05 })) end, "layer 1: gainDb 0.05 is not a number of decibels in steps of 0.1" },
  { function() quavix.layers(layers(1, { gainDb = 0 / 0 })) end, "is not a number of decibels in steps of 0.1" },
  { function() quavix.layers(layers(1, { gainDb = "-6" })) end, "layer 1: gainDb must be a number, not string" },
  { function() quavix.layers(layers(1, { bufferLength = 61 })) end, "layer 1: the buffer length is 0 to 60 seconds, not 61" },
  { function() quavix.layers(layers(1, { bufferLength = -1 })) end, "layer 1: the buffer length is 0 to 60 seconds, not -1" },
  { function() quavix.layers(layers(1, { muted = 1 })) end, "layer 1: muted must be true or false, not number" },
  { function() quavix.layers(layers(1, { gain = 1 })) end, "layer 1: no option 'gain' (its options: params, random," },
  { function() quavix.layers(layers(1, { random = 1 })) end, "layer 1: random must be a random source" },
  { function() quavix.layers{ {} } end, "quavix.layers: layer 1: params must be parameters" },
  { function() quavix.layers{ p } end, "quavix.layers: layer 1 must be a table such as {params = p, gainDb = -6}, not parameters" },
  { function() quavix.layers(p) end, "quavix.layers: layers must be a table" },
  { function() quavix.layers(layers(1)).render() end, "quavix.render: call it as mix:render(...), with a colon" },
  { function() quavix.layers(layers(1)):source{ bufferLength = 5 } end, "quavix.source: no option 'bufferLength' (its options: type)" },
}

function love.load()
  for _, name in ipairs(quavix.presets) do
    local want = readFile(expectedDir .. "/" .. name .. ".raw")
    for _, way in ipairs(ways) do
      local data = way[2](name)
      expect(data:getString() == want, name .. ", " .. way[1] .. ": samples differ")
      expect(data:getBitDepth() == 16 and data:getChannelCount() == 1 and data:getSampleRate() == 44100,
             name .. ", " .. way[1] .. ": format")
    end
    local source = quavix.preset(name, 1):source()
    expect(source:getType() == "static" and source:getDuration("samples") == #want / 2, name .. ": source")
  end
  for _, case in ipairs(lengths) do
    local count = case[2]():getSampleCount()
    expect(count == case[3], case[1] .. ": " .. count .. " samples, not " .. case[3])
  end
  -- Memory follows the sound's length bound, not the buffer: a coin in 60 s of
  -- buffer takes no 60 * 41000 samples (4.9 MB).
  collectgarbage("collect")
  collectgarbage("stop")
  local heap = collectgarbage("count")
  quavix.preset("coin", 1):soundData{ bufferLength = 60 }
  local grown = collectgarbage("count") - heap
  collectgarbage("restart")
  expect(grown < 1000, "a coin in a 60 s buffer took " .. math.floor(grown) .. " KB")
  for _, case in ipairs(layered) do
    local list = case[2]()
    local mix = quavix.layers(list)
    local samples, count, clipped = mix:render()
    local mine = ffi.string(samples, 2 * count)
    local sum, sumClipped = mixOfEachRender(list)
    expect(mine == sum and clipped == sumClipped, case[1] .. ": not the sum of its layers' renders")
    expect(case[3] == nil or (case[3] == "some" and clipped > 0) or clipped == case[3],
           case[1] .. ": " .. clipped .. " samples clipped")
    local wav, said = toolMix(case[1], list)
    expect(wav:sub(45) == mine and wav:sub(41, 44) == ffi.string(ffi.new("uint32_t[1]", 2 * count), 4),
           case[1] .. ": not the tool's bytes (" .. #wav .. " bytes; " .. said .. ")")
    expect(clipped == tonumber(said:match("(%d+) samples? %a+ clipped in the mix") or 0),
           case[1] .. ": " .. clipped .. " samples clipped, the tool says " .. said)
    local data, alsoClipped = mix:soundData()
    expect(data:getString() == (count > 0 and mine or "\0\0") and alsoClipped == clipped, case[1] .. ": SoundData")
    expect(mix:source():getDuration("samples") == math.max(count, 1), case[1] .. ": source")
  end
  for i, case in ipairs(refusals) do
    local ok, message = pcall(case[1])
    expect(not ok and tostring(message):find(case[2], 1, true) and #tostring(message) < 300,
           "refusal " .. i .. " (" .. case[2] .. "): " .. (ok and "accepted" or tostring(message):sub(1, 200)))
  end

  -- Seeds as the tool reads them: -1 is 4294967295; no seed gives a new source each call.
  expect(quavix.random(-1):state() == quavix.random(4294967295):state(), "seed -1 is 4294967295")
  local seen, repeated = {}, 0
  for _ = 1, 100 do
    local state = quavix.random():state()
    if seen[state] then repeated = repeated + 1 end
    seen[state] = true
  end
  expect(repeated == 0, repeated .. " of 100 unseeded sources repeat one before")

  -- mutate returns a copy and leaves its argument; a source given advances, as the render's.
  local coin = quavix.preset("coin", 1)
  local before = coin:settingsString()
  local r = quavix.random(5)
  local mutated = coin:mutate(0.1, r)
  expect(coin:settingsString() == before, "mutate changed its argument")
  expect(mutated:settingsString() ~= before, "mutate(0.1) changed nothing")
  expect(r:state() ~= quavix.random(5):state(), "mutate did not draw from the source given")
  expect(coin:mutate(0.1):settingsString() == coin:mutate(0.1):settingsString(),
         "mutate without a source continues the preset's, the same each time")
  expect(coin:mutate(0):settingsString() == before, "mutate(0) changes nothing")
  local first, second = quavix.preset("coin", r:copy()), quavix.preset("coin", r)
  expect(first:settingsString() == second:settingsString() and r:state() ~= quavix.random(5):state(),
         "r:copy() draws the same and leaves r")

  -- Users' units: 0.3 s is stored as sqrt(0.3 / 2.2675) = 0.3637...; the settings string keeps it.
  local params = quavix.params():set("SustainTime", 0.3)
  expect(math.abs(params:getStored("SustainTime") - math.sqrt(0.3 / 2.2675)) < 1e-7, "users' seconds stored")
  expect(math.abs(params:get("SustainTime") - 0.3) < 1e-6, "users' seconds read")
  expect(params:copy():set("SustainTime", 1):get("SustainTime") ~= params:get("SustainTime"), "copy is separate")
  local text = params:settingsString()
  expect(quavix.fromSettingsString(text):settingsString() == text, "settings string round trip")
  expect(quavix.unit("SustainTime") == "seconds", "unit of SustainTime")
  local samples, count = quavix.preset("coin", 1):render()
  expect(ffi.string(samples, 2 * count) == readFile(expectedDir .. "/coin.raw"), "render's samples")
  expect(select(2, quavix.preset("coin", 1):render{ bufferLength = 0 }) == 0, "a zero buffer renders nothing")

  -- Without getFFIPointer, SoundData is written by setSample(v / 32767), which keeps every value.
  local whole = love.sound.newSoundData(65536, 44100, 16, 1)
  for i = 0, 65535 do whole:setSample(i, (i - 32768) / 32767) end
  local values = ffi.cast("const int16_t*", whole:getFFIPointer())
  local wrong = 0
  for i = 0, 65535 do if values[i] ~= i - 32768 then wrong = wrong + 1 end end
  expect(wrong == 0, wrong .. " of 65536 values changed by setSample(v / 32767)")

  if #failures == 0 then print("ok") else print(table.concat(failures, "\n")) end
  love.event.quit(#failures == 0 and 0 or 1)
end
