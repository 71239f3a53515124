// Paths: named curves through control points that instances follow, that
// scripts edit and inspect. Every edit recomputes the point list the readers
// use (straight segments, or corner-cutting quadratic curves when smooth).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "core/game_data.h"

struct PathPoint {
  float x = 0, y = 0, speed = 0;
};

struct PathComputedPoint {
  float x = 0, y = 0, speed = 0;
  float distance = 0;  // along the polyline from the first point
};

class CMotionPath {
 public:
  CMotionPath() = default;

  void Clear();
  // Reads a PATH record at container offset `record`; DataError when it
  // leaves the container.
  void LoadFromChunk(const GameDataFile& file, uint32_t record);
  void Assign(const CMotionPath& source);
  // Replaces every control point at once: one recompute for a whole list.
  void SetPoints(std::vector<PathPoint> points);
  int AddPoint(float x, float y, float speed);
  void InsertPoint(int index, float x, float y, float speed);
  void ChangePoint(int index, float x, float y, float speed);
  void DeletePoint(int index);
  // (0, 0, 0) outside the control points.
  const PathPoint& GetPoint(int index) const;
  void SetKind(int32_t kind);
  void SetClosed(bool closed);
  void SetPrecision(int32_t precision);
  float GetLength() const { return length_; }
  int GetNumber() const { return static_cast<int>(control_.size()); }
  int32_t GetKind() const { return kind_; }
  bool GetClosed() const { return closed_; }
  int32_t GetPrecision() const { return precision_; }
  void GetPosition(float t, float* x, float* y, float* speed) const;
  float XPosition(float t) const;
  float YPosition(float t) const;
  float SpeedAt(float t) const;
  void Center(float* x, float* y) const;
  void Shift(float dx, float dy);
  void Reverse();
  void Append(const CMotionPath* other);
  void Mirror();
  void Flip();
  void Rotate(float degrees);
  void Rescale(float sx, float sy);
  const std::vector<PathComputedPoint>& Computed() const { return computed_; }

 private:
  void Recompute();
  void Subdivide(const PathPoint& p0, const PathPoint& p1, const PathPoint& p2, int depth);
  void AddComputed(const PathPoint& p);

  std::vector<PathPoint> control_;
  std::vector<PathComputedPoint> computed_;
  int32_t kind_ = 0;
  bool closed_ = true;
  int32_t precision_ = 4;
  float length_ = 0;
};

void Path_Init();
void Path_FreeAll();
// The PATH chunk: a counted list of record offsets; DataError when damaged.
bool Path_Load(const ChunkBody& body);
int Path_Count();
bool Path_Exists(int index);
// Null for an empty slot or an index outside the table.
CMotionPath* Path_Get(int index);
std::string Path_GetName(int index);
int Path_FindByName(const std::string& name);
int Path_Add();
int Path_Duplicate(int index);
bool Path_Assign(int destination, int source);
bool Path_Delete(int index);
