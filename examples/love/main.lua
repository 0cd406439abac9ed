local quavix = require("quavix")
local coin = quavix.preset("coin", 1)                  -- parameters; their sound continues seed 1
local jump = quavix.preset("jump", 1):set("SustainTime", 0.2)  -- users' units (seconds), checked
local mutated = jump:mutate(0.1, quavix.random())      -- a copy; jump stays as it is
local data = mutated:soundData{ bufferLength = 5 }     -- 16-bit mono SoundData
local source = coin:source()                           -- a static Source
local layered = quavix.layers{ { params = coin },      -- a layered sound: coin, and jump
  { params = jump, offset = 2205, gainDb = -6 } }      -- 2205 samples (50 ms) later, 6 dB down
local both = layered:source()                          -- the mix, as a static Source
source:play()

-- Then the mutated jump, the layered sound and the other presets, one after
-- another; then quit.
print("playing coin")
local queue = { { "mutated jump", love.audio.newSource(data, "static") }, { "coin and jump, layered", both } }
for i = 2, #quavix.presets do
  queue[#queue + 1] = { quavix.presets[i], quavix.presetSource(quavix.presets[i], 1) }
end
local current = source

function love.update(dt)
  if current:isPlaying() then return end
  local next = table.remove(queue, 1)
  if not next then return love.event.quit(0) end
  current = next[2]
  current:play()
  print("playing " .. next[1])
end
