local quavix = require("quavix")
local coin = quavix.presetSource("coin", 1)          -- a static Source
local params, random = quavix.randomize(7, true)     -- audible random parameters
local data = quavix.soundData(params, random)        -- 16-bit mono SoundData
coin:play()

-- Then a random sound and the other six presets, one after another; then quit.
print("playing coin")
local queue = { { "random", love.audio.newSource(data, "static") } }
for i = 2, #quavix.presets do
  queue[#queue + 1] = { quavix.presets[i], quavix.presetSource(quavix.presets[i], 1) }
end
local current = coin

function love.update(dt)
  if current:isPlaying() then return end
  local next = table.remove(queue, 1)
  if not next then return love.event.quit(0) end
  current = next[2]
  current:play()
  print("playing " .. next[1])
end
