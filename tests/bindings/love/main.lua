function love.load()
  love.event.quit(require("test")())
end
