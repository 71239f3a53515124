-- The yardstick's window: 640x480, no vsync, only the modules it uses.
function love.conf(t)
  t.identity = "bunnymark"
  t.window.title = "bunnymark"
  t.window.width = 640
  t.window.height = 480
  t.window.vsync = 0
  t.modules.audio = false
  t.modules.sound = false
  t.modules.joystick = false
  t.modules.physics = false
  t.modules.touch = false
  t.modules.video = false
end
