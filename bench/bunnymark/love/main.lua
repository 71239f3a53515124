-- The bunnymark's yardstick: the same bunnies, speeds and bounces as the
-- engine's fixture game, drawn one love.graphics.draw call per bunny (LÖVE
-- batches them itself). Arguments: bunnies, warm-up frames, measured frames.

local WIDTH, HEIGHT, BW, BH = 640, 480, 26, 37
local bunnies, image
local count, warmup, frames

function love.load(args)
  count = tonumber(args[1]) or 10000
  warmup = tonumber(args[2]) or 30
  frames = tonumber(args[3]) or 300
  image = love.graphics.newImage("bunny.png")
  bunnies = {}
  for i = 0, count - 1 do
    local id = 100001 + i
    bunnies[i + 1] = {
      x = (i * 37) % (WIDTH - BW),
      y = (i * 53) % (HEIGHT - BH),
      hspeed = (id % 9) * 0.5 - 2.25,
      vspeed = (math.floor(id / 9) % 7) * 0.5 - 1.75,
    }
  end
end

-- The engine's order: the step event bounces, then the motion moves.
function love.update()
  local right, bottom = WIDTH - BW, HEIGHT - BH
  for i = 1, count do
    local b = bunnies[i]
    if (b.x < 0 and b.hspeed < 0) or (b.x > right and b.hspeed > 0) then b.hspeed = -b.hspeed end
    if (b.y < 0 and b.vspeed < 0) or (b.y > bottom and b.vspeed > 0) then b.vspeed = -b.vspeed end
    b.x = b.x + b.hspeed
    b.y = b.y + b.vspeed
  end
end

function love.draw()
  for i = 1, count do
    local b = bunnies[i]
    love.graphics.draw(image, b.x, b.y)
  end
end

-- love.run without the frame sleep, ending after the measured frames.
function love.run()
  love.load(love.arg.parseGameArguments(arg))
  love.timer.step()
  io.stdout:setvbuf("line")
  local frame = 0
  return function()
    love.event.pump()
    for name in love.event.poll() do
      if name == "quit" then return 0 end
    end
    love.timer.step()
    love.update()
    frame = frame + 1
    if frame == warmup then print("bunnymark start") end
    if frame == warmup + frames then print("bunnymark end") end
    if frame > warmup + frames then return 0 end
    love.graphics.origin()
    love.graphics.clear(16 / 255, 32 / 255, 64 / 255)
    love.draw()
    love.graphics.present()
  end
end
