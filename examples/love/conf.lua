function love.conf(t)
  t.window.title = "Quavix sounds"
  t.window.width, t.window.height = 320, 120
end
