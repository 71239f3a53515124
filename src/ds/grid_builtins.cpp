// The ds_grid_* built-ins, and the switch between the checking and the fast
// handlers of ds_grid_set and ds_grid_get.
#include <cstdio>
#include <cstring>

#include "ds/builtin_helpers.h"
#include "ds/ds.h"
#include "ds/ds_builtins.h"
#include "ds/grid.h"
#include "script/console.h"
#include "script/errors.h"
#include "script/function_registry.h"

namespace {

CDS_Grid* GridArg(int argc, const ScriptValue* args, int i) {
  return DS_ArgContainer<CDS_Grid>(eDS_Grid, argc, args, i);
}

// The region x1, y1, x2, y2 in the four arguments from `first`.
GridArea RegionArg(const CDS_Grid& grid, int argc, const ScriptValue* args, int first) {
  return grid.Region(RoundedArg(argc, args, first), RoundedArg(argc, args, first + 1),
                     RoundedArg(argc, args, first + 2), RoundedArg(argc, args, first + 3));
}

// The disk xm, ym, r in the three arguments from `first`, as reals.
GridArea DiskArg(const CDS_Grid& grid, int argc, const ScriptValue* args, int first) {
  return grid.Disk(Arg(argc, args, first), Arg(argc, args, first + 1), Arg(argc, args, first + 2));
}

// --- size and whole-grid operations ---

TW_BUILTIN(ds_grid_create) {
  const int32_t width = RoundedArg(argc, args, 0), height = RoundedArg(argc, args, 1);
  const int id = DS_CreateGrid(width, height);
  if (id < 0) {
    char message[128];
    std::snprintf(message, sizeof message, "Error: Can not create a grid of size [%d,%d] - too many cells", width,
                  height);
    Error_ReportRuntime(ErrorSeverity::kError, message);
  }
  Return(result, id);
}

TW_BUILTIN(ds_grid_destroy) { DS_DestroyBuiltin<CDS_Grid>(eDS_Grid, argc, args); }

TW_BUILTIN(ds_grid_copy) { DS_CopyBuiltin<CDS_Grid>(eDS_Grid, argc, args); }

TW_BUILTIN(ds_grid_resize) {
  CDS_Grid* grid = GridArg(argc, args, 0);
  if (!grid) return;
  const int32_t width = RoundedArg(argc, args, 1), height = RoundedArg(argc, args, 2);
  if (width <= 0 || height <= 0) {
    Error_ReportRuntime(ErrorSeverity::kFatal, "Error: Can not resize a grid with a dimension of 0\n");
    return;
  }
  if (int64_t(width) * height > kMaxGridCells) {
    char message[128];
    std::snprintf(message, sizeof message, "Error: Can not resize a grid to size [%d,%d] - too many cells", width,
                  height);
    Error_ReportRuntime(ErrorSeverity::kError, message);
    return;
  }
  grid->Resize(width, height);
}

TW_BUILTIN(ds_grid_width) {
  CDS_Grid* grid = GridArg(argc, args, 0);
  Return(result, grid ? grid->Width() : 0);
}

TW_BUILTIN(ds_grid_height) {
  CDS_Grid* grid = GridArg(argc, args, 0);
  Return(result, grid ? grid->Height() : 0);
}

TW_BUILTIN(ds_grid_clear) {
  if (CDS_Grid* grid = GridArg(argc, args, 0)) grid->Clear(DS_ValueArg(argc, args, 1));
}

TW_BUILTIN(ds_grid_shuffle) {
  if (CDS_Grid* grid = GridArg(argc, args, 0)) grid->Shuffle();
}

TW_BUILTIN(ds_grid_write) {
  if (CDS_Grid* grid = GridArg(argc, args, 0)) DS_ReturnText(result, grid->Write());
}

TW_BUILTIN(ds_grid_read) {
  if (CDS_Grid* grid = GridArg(argc, args, 0)) grid->Read(TextArg(argc, args, 1));
}

TW_BUILTIN(ds_grid_sort) {
  // Only exactly three real arguments sort; anything else is silently nothing.
  if (argc != 3 || !IsRealArg(argc, args, 0) || !IsRealArg(argc, args, 1) || !IsRealArg(argc, args, 2)) return;
  CDS_Grid* grid = DS_GetAs<CDS_Grid>(eDS_Grid, TruncatedArg(argc, args, 0));
  if (!grid) {
    DS_ReportMissing();
    return;
  }
  grid->Sort(TruncatedArg(argc, args, 1), FlagArg(argc, args, 2));
}

// --- single cells ---

// The cell a single-cell built-in addresses, or null. The checking form
// reports a bad id and prints a line for a cell outside the grid ("reading"
// or "writing"); the fast form of ds_grid_set and ds_grid_get skips both,
// yet neither ever touches memory outside a live grid. `noGrid` tells a bad
// id from a cell outside.
template <bool kChecked = true>
ScriptValue* CellArg(int argc, const ScriptValue* args, const char* access, bool* noGrid = nullptr) {
  CDS_Grid* grid = kChecked ? GridArg(argc, args, 0) : DS_GetAs<CDS_Grid>(eDS_Grid, DS_IdArg(argc, args, 0));
  if (noGrid) *noGrid = !grid;
  if (!grid) return nullptr;
  const int32_t x = RoundedArg(argc, args, 1), y = RoundedArg(argc, args, 2);
  if (grid->Inside(x, y)) return grid->Cell(x, y);
  if (kChecked)
    g_OutputConsole->Output("Grid %d, index out of bounds %s [%d,%d] - size is [%d,%d]\n", DS_IdArg(argc, args, 0),
                            access, x, y, grid->Width(), grid->Height());
  return nullptr;
}

template <bool kChecked>
void GridSet(ScriptValue* result, CObjInstance*, CObjInstance*, int argc, ScriptValue* args) {
  ScriptValue* cell = CellArg<kChecked>(argc, args, "writing");
  if (!cell) return;
  const ScriptValue* value = DS_ValueArg(argc, args, 3);
  if (cell->kind == kKindReal && value->kind == kKindReal)
    cell->real = value->real;  // the common case, without a call
  else
    ScriptValue_Copy(cell, value);
}

// A cell outside gives real 0; a bad id leaves the result (checking) or
// gives real 0 too (fast).
template <bool kChecked>
void GridGet(ScriptValue* result, CObjInstance*, CObjInstance*, int argc, ScriptValue* args) {
  bool noGrid = false;
  if (ScriptValue* cell = CellArg<kChecked>(argc, args, "reading", &noGrid))
    DS_ReturnCopy(result, cell);
  else if (!noGrid || !kChecked)
    Return(result, 0);
}

TW_BUILTIN(ds_grid_set_pre) {
  if (ScriptValue* cell = CellArg(argc, args, "writing")) {
    ScriptValue_Copy(cell, DS_ValueArg(argc, args, 3));
    DS_ReturnCopy(result, cell);
  }
}

TW_BUILTIN(ds_grid_set_post) {
  if (ScriptValue* cell = CellArg(argc, args, "writing")) {
    DS_ReturnCopy(result, cell);
    ScriptValue_Copy(cell, DS_ValueArg(argc, args, 3));
  }
}

template <int kOp>
void CellOp(ScriptValue* result, CObjInstance*, CObjInstance*, int argc, ScriptValue* args) {
  if (ScriptValue* cell = CellArg(argc, args, "writing")) DS_ApplyOp(kOp, cell, DS_ValueArg(argc, args, 3));
}

// --- regions and disks ---

// A region (arguments 1 to 4, the value 5th) or a disk (arguments 1 to 3,
// the value 4th).
template <bool kDisk>
GridArea AreaArg(const CDS_Grid& grid, int argc, const ScriptValue* args) {
  return kDisk ? DiskArg(grid, argc, args, 1) : RegionArg(grid, argc, args, 1);
}
constexpr int AreaDS_ValueArg(bool disk) { return disk ? 4 : 5; }

template <int kOp, bool kDisk>
void AreaOp(ScriptValue* result, CObjInstance*, CObjInstance*, int argc, ScriptValue* args) {
  CDS_Grid* grid = GridArg(argc, args, 0);
  if (!grid) return;
  const ScriptValue* value = DS_ValueArg(argc, args, AreaDS_ValueArg(kDisk));
  grid->Visit(AreaArg<kDisk>(*grid, argc, args), [value](int64_t, int64_t, ScriptValue& cell) {
    DS_ApplyOp(kOp, &cell, value);
    return false;
  });
}

template <int kOp>
void GridRegionOp(ScriptValue* result, CObjInstance*, CObjInstance*, int argc, ScriptValue* args) {
  CDS_Grid* destination = GridArg(argc, args, 0);
  CDS_Grid* source = destination ? GridArg(argc, args, 1) : nullptr;
  if (!source) return;
  DS_GridRegionOp(destination, source, RoundedArg(argc, args, 2), RoundedArg(argc, args, 3),
                  RoundedArg(argc, args, 4), RoundedArg(argc, args, 5), RoundedArg(argc, args, 6),
                  RoundedArg(argc, args, 7), kOp);
}

// The statistics and searches over a region or a disk.
enum class Stat { kSum, kMean, kMax, kMin };
enum class Found { kExists, kX, kY };

// The first cell in scan order fixes the kind; later cells of that kind
// replace it when larger (or smaller): reals plainly, strings bytewise.
bool Beats(const ScriptValue& cell, const ScriptValue& best, bool max) {
  if (cell.kind != best.kind) return false;
  if (cell.IsReal()) return max ? cell.real > best.real : cell.real < best.real;
  if (cell.IsString()) {
    const int c = std::strcmp(cell.Text(), best.Text());
    return max ? c > 0 : c < 0;
  }
  return false;
}

template <Stat kStat, bool kDisk>
void GridStat(ScriptValue* result, CObjInstance*, CObjInstance*, int argc, ScriptValue* args) {
  CDS_Grid* grid = GridArg(argc, args, 0);
  if (!grid) return;
  const GridArea area = AreaArg<kDisk>(*grid, argc, args);
  if constexpr (kStat == Stat::kSum || kStat == Stat::kMean) {
    double sum = 0;
    int64_t count = 0;
    grid->Visit(area, [&](int64_t, int64_t, const ScriptValue& cell) {
      if (cell.IsReal()) sum += cell.real, ++count;
      return false;
    });
    Return(result, kStat == Stat::kSum ? sum : (count ? sum / double(count) : 0));
  } else {
    const ScriptValue* best = nullptr;
    grid->Visit(area, [&](int64_t, int64_t, const ScriptValue& cell) {
      if (!best || Beats(cell, *best, kStat == Stat::kMax)) best = &cell;
      return false;
    });
    DS_ReturnStored(result, best);
  }
}

template <Found kFound, bool kDisk>
void GridFind(ScriptValue* result, CObjInstance*, CObjInstance*, int argc, ScriptValue* args) {
  CDS_Grid* grid = GridArg(argc, args, 0);
  if (!grid) return;
  const ScriptValue* value = DS_ValueArg(argc, args, AreaDS_ValueArg(kDisk));
  int64_t fx = 0, fy = 0;
  const bool found = grid->Visit(AreaArg<kDisk>(*grid, argc, args), [&](int64_t x, int64_t y, const ScriptValue& cell) {
    if (DS_CompareValues(&cell, value) != 0) return false;
    fx = x, fy = y;
    return true;
  });
  Return(result, kFound == Found::kExists ? (found ? 1 : 0) : double(kFound == Found::kX ? fx : fy));
}

const NamedBuiltin kGridBuiltins[] = {
    {"ds_grid_create", ds_grid_create},
    {"ds_grid_destroy", ds_grid_destroy},
    {"ds_grid_copy", ds_grid_copy},
    {"ds_grid_resize", ds_grid_resize},
    {"ds_grid_width", ds_grid_width},
    {"ds_grid_height", ds_grid_height},
    {"ds_grid_clear", ds_grid_clear},
    {"ds_grid_set", GridSet<true>},
    {"ds_grid_set_pre", ds_grid_set_pre},
    {"ds_grid_set_post", ds_grid_set_post},
    {"ds_grid_add", CellOp<eGridOp_Add>},
    {"ds_grid_multiply", CellOp<eGridOp_Multiply>},
    {"ds_grid_set_region", AreaOp<eGridOp_Set, false>},
    {"ds_grid_add_region", AreaOp<eGridOp_Add, false>},
    {"ds_grid_multiply_region", AreaOp<eGridOp_Multiply, false>},
    {"ds_grid_set_disk", AreaOp<eGridOp_Set, true>},
    {"ds_grid_add_disk", AreaOp<eGridOp_Add, true>},
    {"ds_grid_multiply_disk", AreaOp<eGridOp_Multiply, true>},
    {"ds_grid_set_grid_region", GridRegionOp<eGridOp_Set>},
    {"ds_grid_add_grid_region", GridRegionOp<eGridOp_Add>},
    {"ds_grid_multiply_grid_region", GridRegionOp<eGridOp_Multiply>},
    {"ds_grid_get", GridGet<true>},
    {"ds_grid_get_sum", GridStat<Stat::kSum, false>},
    {"ds_grid_get_max", GridStat<Stat::kMax, false>},
    {"ds_grid_get_min", GridStat<Stat::kMin, false>},
    {"ds_grid_get_mean", GridStat<Stat::kMean, false>},
    {"ds_grid_get_disk_sum", GridStat<Stat::kSum, true>},
    {"ds_grid_get_disk_max", GridStat<Stat::kMax, true>},
    {"ds_grid_get_disk_min", GridStat<Stat::kMin, true>},
    {"ds_grid_get_disk_mean", GridStat<Stat::kMean, true>},
    {"ds_grid_value_exists", GridFind<Found::kExists, false>},
    {"ds_grid_value_x", GridFind<Found::kX, false>},
    {"ds_grid_value_y", GridFind<Found::kY, false>},
    {"ds_grid_value_disk_exists", GridFind<Found::kExists, true>},
    {"ds_grid_value_disk_x", GridFind<Found::kX, true>},
    {"ds_grid_value_disk_y", GridFind<Found::kY, true>},
    {"ds_grid_shuffle", ds_grid_shuffle},
    {"ds_grid_write", ds_grid_write},
    {"ds_grid_read", ds_grid_read},
    {"ds_grid_sort", ds_grid_sort},
};

}  // namespace

std::span<const NamedBuiltin> DS_GridBuiltins() { return kGridBuiltins; }

void DS_SetGridAccessChecked(bool checked) {
  FunctionRegistry_Replace("ds_grid_set", checked ? GridSet<true> : GridSet<false>);
  FunctionRegistry_Replace("ds_grid_get", checked ? GridGet<true> : GridGet<false>);
}
