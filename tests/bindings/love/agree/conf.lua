-- The test games' headless configuration.
dofile(love.filesystem.getSource() .. "/../conf.lua")
