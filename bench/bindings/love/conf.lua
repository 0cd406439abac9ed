-- Headless: no window, no graphics; sound through OpenAL's null device.
function love.conf(t)
  t.window = false
  t.modules.window = false
  t.modules.graphics = false
  t.modules.joystick = false
  t.modules.physics = false
end
