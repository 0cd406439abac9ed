-- The module in LÖVE (this file is the test game's main.lua): each preset's
-- SoundData holds, byte for byte, the tool's samples of that preset
-- (EXPECTED_DIR/NAME.raw); Sources come from it; the settings string and
-- errors behave. Prints "ok" or what failed, and quits with 0 or 1.
local quavix = require("quavix")
local expectedDir = os.getenv("EXPECTED_DIR")
local failures = {}
local function expect(condition, what) if not condition then failures[#failures + 1] = what end end

local function readFile(path)
  local file = assert(io.open(path, "rb"))
  local data = file:read("*a")
  file:close()
  return data
end

function love.load()
  for _, name in ipairs(quavix.presets) do
    local data = quavix.presetSoundData(name, 1)
    local want = readFile(expectedDir .. "/" .. name .. ".raw")
    expect(data:getSampleCount() == #want / 2, name .. ": sample count")
    expect(data:getBitDepth() == 16 and data:getChannelCount() == 1 and data:getSampleRate() == 44100,
           name .. ": format")
    expect(data:getString() == want, name .. ": samples differ")
    local source = love.audio.newSource(data, "static")
    expect(source:getDuration("samples") == #want / 2, name .. ": source length")
  end
  -- The fallback path writes through setSample; division by 32767 keeps every value.
  local whole = love.sound.newSoundData(65536, 44100, 16, 1)
  for i = 0, 65535 do whole:setSample(i, (i - 32768) / 32767) end
  local ffi = require("ffi")
  local values = ffi.cast("const int16_t*", whole:getFFIPointer())
  local wrong = 0
  for i = 0, 65535 do if values[i] ~= i - 32768 then wrong = wrong + 1 end end
  expect(wrong == 0, wrong .. " of 65536 values changed by setSample(v / 32767)")
  local params = quavix.params()
  quavix.set(params, "SustainTime", 0.3, true)
  expect(math.abs(quavix.get(params, "SustainTime") - 0.3637366) < 1e-7, "users' seconds")
  local text = quavix.settingsString(params)
  expect(quavix.settingsString(quavix.fromSettingsString(text)) == text, "settings string round trip")
  expect(not pcall(quavix.preset, "boom", 1), "an unknown preset is an error")
  local ok, message = pcall(quavix.fromSettingsString, "1,,x")
  expect(not ok and message:find("field 2"), "a bad settings string names its field")
  ok, message = pcall(quavix.mutate, quavix.params(), 2)
  expect(not ok and message:find("mutate: 2 is not an amount from 0 to 1", 1, true), "the core's mutation amounts")
  if #failures == 0 then print("ok") else print(table.concat(failures, "\n")) end
  love.event.quit(#failures == 0 and 0 or 1)
end
