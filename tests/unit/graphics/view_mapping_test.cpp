// Window positions to room positions through view mappings: scaled and
// offset ports, letterboxing, a window resized by the player, rotation,
// overlapping views and the way back.
#include <gtest/gtest.h>

#include "graphics/view_mapping.h"

namespace {

ViewMappingRecord Record(float vx, float vy, float vw, float vh, float px, float py, float pw, float ph,
                         float angle = 0) {
  return ViewMappingRecord{1, vx, vy, vw, vh, px, py, pw, ph, angle, -1};
}

ViewGeometry Geometry(int screenW, int screenH, int clientW, int clientH, int ox = 0, int oy = 0,
                      float scaleX = 1, float scaleY = 1) {
  ViewGeometry g;
  g.screenWidth = screenW;
  g.screenHeight = screenH;
  g.clientWidth = clientW;
  g.clientHeight = clientH;
  g.letterboxX = ox;
  g.letterboxY = oy;
  g.portScaleX = scaleX;
  g.portScaleY = scaleY;
  return g;
}

ViewMapping With(std::initializer_list<std::pair<int, ViewMappingRecord>> records) {
  ViewMapping m;
  for (const auto& [n, r] : records) {
    m.records[n] = r;
    ++m.activeCount;
  }
  return m;
}

struct RoomCase {
  const char* what;
  ViewMapping mapping;
  ViewGeometry geometry;
  int wx, wy;
  int rx, ry;
};

TEST(ViewMapping, WindowToRoom) {
  // A view of 320 x 240 at (100, 50) shown in a 640 x 480 port: doubled.
  ViewMappingRecord zoomed = Record(100, 50, 320, 240, 0, 0, 640, 480);
  // A port at (100, 50) of 200 x 100 in a screen of 300 x 150 (port scale
  // 1.5), showing 400 x 200 of the room from (1000, 2000).
  ViewMappingRecord offset = Record(1000, 2000, 400, 200, 100, 50, 200, 100);
  ViewGeometry plain = Geometry(640, 480, 640, 480);
  ViewGeometry noRoom = plain;
  ViewGeometry room640 = plain;
  room640.hasRoom = true;
  room640.roomWidth = 640;
  room640.roomHeight = 480;
  ViewGeometry room320 = room640;
  room320.roomWidth = 320;
  room320.roomHeight = 240;
  // The player widened the window to 1000 x 600: the 800 x 600 picture has
  // 100-pixel borders left and right.
  ViewGeometry letterboxed = Geometry(640, 480, 1000, 600, 100, 0);
  ViewGeometry letterboxedRoom = letterboxed;
  letterboxedRoom.hasRoom = true;
  letterboxedRoom.roomWidth = 640;
  letterboxedRoom.roomHeight = 480;
  // Resized to 1280 x 960 without keeping the aspect: no border, all doubled.
  ViewGeometry resized = Geometry(640, 480, 1280, 960);
  ViewGeometry offsetScreen = Geometry(300, 150, 600, 300, 0, 0, 1.5f, 1.5f);

  const RoomCase cases[] = {
      {"no view, centre", ViewMapping{}, room640, 320, 240, 320, 240},
      {"no view, room half the window", ViewMapping{}, room320, 320, 240, 160, 120},
      {"no view, no room", ViewMapping{}, noRoom, 33, 44, 33, 44},
      {"no view, letterboxed", ViewMapping{}, letterboxedRoom, 500, 300, 320, 240},
      {"zoomed view, centre", With({{0, zoomed}}), plain, 320, 240, 260, 170},
      {"zoomed view, corner", With({{0, zoomed}}), plain, 0, 0, 100, 50},
      {"zoomed view, letterboxed", With({{0, zoomed}}), letterboxed, 500, 300, 260, 170},
      {"zoomed view, left border", With({{0, zoomed}}), letterboxed, 100, 0, 100, 50},
      {"zoomed view, resized window", With({{0, zoomed}}), resized, 640, 480, 260, 170},
      {"zoomed view, resized window corner", With({{0, zoomed}}), resized, 1279, 959, 420, 290},
      {"offset port, its corner", With({{0, offset}}), offsetScreen, 300, 150, 1000, 2000},
      {"offset port, inside", With({{0, offset}}), offsetScreen, 450, 225, 1100, 2050},
      {"rotated view", With({{0, Record(0, 0, 100, 100, 0, 0, 100, 100, 90)}}), Geometry(100, 100, 100, 100), 75,
       50, 50, 75},
      {"overlap: the higher view wins",
       With({{0, Record(0, 0, 640, 480, 0, 0, 640, 480)}, {1, Record(1000, 1000, 320, 240, 0, 0, 320, 240)}}),
       plain, 100, 100, 1100, 1100},
      {"overlap: outside the higher view",
       With({{0, Record(0, 0, 640, 480, 0, 0, 640, 480)}, {1, Record(1000, 1000, 320, 240, 0, 0, 320, 240)}}),
       plain, 400, 300, 400, 300},
      {"outside every view: the lowest view's answer",
       With({{2, Record(0, 0, 10, 10, 0, 0, 10, 10)}, {5, Record(500, 500, 10, 10, 0, 0, 10, 10)}}), plain, 300,
       200, 300, 200},
  };
  for (const RoomCase& c : cases) {
    int rx = -12345, ry = -12345;
    ViewMapping_WindowToRoom(c.mapping, c.geometry, c.wx, c.wy, &rx, &ry);
    EXPECT_EQ(rx, c.rx) << c.what;
    EXPECT_EQ(ry, c.ry) << c.what;
  }
}

TEST(ViewMapping, NothingIsWrittenWhereAViewCannotConvert) {
  ViewGeometry g = Geometry(640, 480, 640, 480);
  struct Case {
    const char* what;
    ViewMapping mapping;
    int n;
  } cases[] = {
      {"port width 0", With({{0, Record(0, 0, 10, 10, 0, 0, 0, 10)}}), 0},
      {"port height 0", With({{0, Record(0, 0, 10, 10, 0, 0, 10, 0)}}), 0},
      {"inactive", ViewMapping{}, 3},
      {"beyond the records", ViewMapping{}, 32},
      {"negative", ViewMapping{}, -1},
  };
  for (const Case& c : cases) {
    int rx = 77, ry = 88;
    ViewMapping_WindowToView(c.mapping, g, c.n, 5, 5, &rx, &ry);
    EXPECT_EQ(rx, 77) << c.what;
    EXPECT_EQ(ry, 88) << c.what;
  }
}

TEST(ViewMapping, AWindowShrunkToItsBordersDoesNotDivideByZero) {
  ViewGeometry g = Geometry(640, 480, 200, 200, 100, 100);
  g.hasRoom = true;
  g.roomWidth = 640;
  g.roomHeight = 480;
  int rx = 0, ry = 0;
  ViewMapping_WindowToRoom(ViewMapping{}, g, 150, 120, &rx, &ry);
  EXPECT_EQ(rx, 50);
  EXPECT_EQ(ry, 20);
  ViewMapping_WindowToRoom(With({{0, Record(0, 0, 640, 480, 0, 0, 640, 480)}}), g, 150, 120, &rx, &ry);
  EXPECT_EQ(rx, 50);
  EXPECT_EQ(ry, 20);
}

TEST(ViewMapping, RoomToWindowAndBack) {
  ViewMapping m = With({{0, Record(100, 50, 320, 240, 0, 0, 640, 480)},
                        {1, Record(0, 0, 100, 100, 200, 100, 100, 100, 90)},
                        {2, Record(0, 0, 0, 100, 0, 0, 100, 100)}});
  struct Case {
    int n;
    float x, y;
    int wx, wy;
  } cases[] = {
      {0, 260, 170, 320, 240}, {0, 100, 50, 0, 0},   {0, 101.5f, 50, 3, 0},
      {1, 50, 75, 275, 150},   {2, 12.5f, 13.5f, 12, 14},  // no view width: the point rounded
      {7, 3.5f, 4.5f, 4, 4},   {40, 1, 2, 1, 2},
  };
  for (const Case& c : cases) {
    int wx = 0, wy = 0;
    ViewMapping_RoomToWindow(m, c.n, c.x, c.y, &wx, &wy);
    EXPECT_EQ(wx, c.wx) << c.n << " " << c.x;
    EXPECT_EQ(wy, c.wy) << c.n << " " << c.y;
  }
  // Room points through an unrotated view and back, window = screen.
  ViewMapping same = With({{0, Record(30, 40, 320, 240, 0, 0, 320, 240)}});
  ViewGeometry g320 = Geometry(320, 240, 320, 240);
  for (int x = 30; x < 350; x += 37) {
    for (int y = 40; y < 280; y += 29) {
      int wx, wy, rx, ry;
      ViewMapping_RoomToWindow(same, 0, float(x), float(y), &wx, &wy);
      ViewMapping_WindowToView(same, g320, 0, wx, wy, &rx, &ry);
      EXPECT_EQ(rx, x);
      EXPECT_EQ(ry, y);
    }
  }
}

TEST(ViewMapping, RecordsAreCountedOnce) {
  Window_ClearViewMappings();
  Window_SetViewMapping(3, 0, 0, 10, 10, 0, 0, 10, 10, 0, -1);
  Window_SetViewMapping(3, 0, 0, 20, 20, 0, 0, 20, 20, 0, 5);
  Window_SetViewMapping(31, 0, 0, 10, 10, 0, 0, 10, 10, 0, -1);
  Window_SetViewMapping(32, 0, 0, 10, 10, 0, 0, 10, 10, 0, -1);
  Window_SetViewMapping(-1, 0, 0, 10, 10, 0, 0, 10, 10, 0, -1);
  EXPECT_EQ(Window_ViewMappings().activeCount, 2);
  EXPECT_EQ(Window_ViewMappings().records[3].portWidth, 20);
  EXPECT_EQ(Window_ViewMappings().records[3].surface, 5);
  Window_ClearViewMapping(3);
  Window_ClearViewMapping(3);
  Window_ClearViewMapping(32);
  EXPECT_EQ(Window_ViewMappings().activeCount, 1);
  Window_ClearViewMappings();
  EXPECT_EQ(Window_ViewMappings().activeCount, 0);
  EXPECT_FALSE(Window_ViewMappings().records[31].active);
}

TEST(ViewMapping, OnlyFiveInputDevicesHaveAMouse) {
  Window_ClearViewMappings();
  EXPECT_EQ(Window_ViewsMouseGetX(5), 0);
  EXPECT_EQ(Window_ViewsMouseGetY(-1), 0);
}

}  // namespace
