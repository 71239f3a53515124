// The data-file writer: builds game containers ("FORM" + tagged chunks) for
// tests, benchmarks and the embedded game.
//
// A container is laid out as
//   "FORM", u32 length of the rest, then chunks {4-byte tag, u32 length, body}.
// Offsets written into chunk bodies count from the first byte of the container.
// Strings live in one pool (the STRG chunk): a counted list of offsets to
// records {u32 length, characters, 0}; a string reference is the offset of the
// characters (record + 4).
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace twpack {

// A description or a build request the writer cannot honour.
class PackError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class Writer;

// A place inside the container whose offset is known only once the container
// is laid out. Bind it inside a chunk; refer to it from anywhere.
struct Label {
  int id = -1;
  bool valid() const { return id >= 0; }
};

// Appends the body of one chunk. Obtained from Writer::AddChunk; stays valid
// for the writer's lifetime.
class ChunkBuilder {
 public:
  const std::string& tag() const { return tag_; }
  size_t size() const { return body_.size(); }  // bytes written so far

  ChunkBuilder& U8(uint8_t v);
  ChunkBuilder& U16(uint16_t v);
  ChunkBuilder& U32(uint32_t v);
  ChunkBuilder& S32(int32_t v);
  ChunkBuilder& F32(float v);
  ChunkBuilder& F64(double v);
  ChunkBuilder& Bytes(const void* data, size_t n);
  ChunkBuilder& Zeros(size_t n);
  ChunkBuilder& Align(size_t n);  // pads with zeros to a multiple of n bytes

  // A 4-byte string reference to `s` in the string pool (added if absent).
  ChunkBuilder& StringRef(std::string_view s);
  // A 4-byte field holding 0 (the null reference / offset).
  ChunkBuilder& Null() { return U32(0); }

  // Labels: Bind marks the current position; OffsetOf writes the container
  // offset of a label (bound here or in any other chunk); an invalid label
  // writes 0.
  Label NewLabel();
  ChunkBuilder& Bind(Label l);
  ChunkBuilder& OffsetOf(Label l);

  // Overwrites 4 bytes at body position `pos` (for lengths known late).
  ChunkBuilder& PatchU32(size_t pos, uint32_t v);

 private:
  friend class Writer;
  ChunkBuilder(Writer* w, std::string tag) : w_(w), tag_(std::move(tag)) {}
  Writer* w_;
  std::string tag_;
  std::vector<uint8_t> body_;
  struct StrFix { size_t pos; uint32_t index; };
  struct LabelFix { size_t pos; int label; };
  std::vector<StrFix> str_fixes_;
  std::vector<LabelFix> label_fixes_;
  bool is_pool_ = false;  // the STRG placeholder
  bool raw_ = false;
  int index_ = -1;  // position in the writer's chunk list
};

class Writer {
 public:
  Writer();
  ~Writer();
  Writer(const Writer&) = delete;
  Writer& operator=(const Writer&) = delete;

  // Starts a new chunk at the end of the container. The tag must be 4 bytes.
  ChunkBuilder& AddChunk(std::string_view tag);
  // A chunk of length 0.
  void AddEmptyChunk(std::string_view tag);
  // A chunk whose body is exactly these bytes.
  void AddRawChunk(std::string_view tag, const std::vector<uint8_t>& body);
  // Places the string-pool chunk (STRG) here; without a call it goes last
  // (or, in container order, where STRG belongs).
  void PlaceStringPool();

  // How Build lays the chunks out. kAsAdded keeps the order of the calls
  // (fixtures of damaged containers need that); kContainer sorts them into
  // the order the runner's chunk walk relies on (kContainerOrder), keeping
  // the order of the calls among chunks of one tag. A chunk of a tag outside
  // that list stays right after the chunk added before it.
  enum class Order { kAsAdded, kContainer };
  void SetOrder(Order order) { order_ = order; }

  // Adds a string to the pool (once per distinct text); returns its index.
  uint32_t AddString(std::string_view s);
  size_t StringCount() const;

  Label NewLabel();

  // Lays the container out and resolves every reference.
  std::vector<uint8_t> Build() const;

 private:
  friend class ChunkBuilder;
  std::vector<std::unique_ptr<ChunkBuilder>> chunks_;
  std::vector<std::string> strings_;
  std::map<std::string, uint32_t, std::less<>> string_index_;
  int labels_ = 0;
  struct LabelPos { int chunk = -1; size_t pos = 0; };
  std::vector<LabelPos> label_pos_;
  bool pool_placed_ = false;
  Order order_ = Order::kAsAdded;
};

// The chunk order of a container as the authoring tool writes it. The walk
// depends on parts of it: OPTN before SOND and AUDO (the audio choice), TPAG
// before TXTR (pages give the entries their textures).
inline constexpr std::string_view kContainerOrder[] = {
    "GEN8", "OPTN", "EXTN", "SOND", "SPRT", "BGND", "PATH", "SCPT", "SHDR", "FONT", "TMLN",
    "OBJT", "ROOM", "DAFL", "TPAG", "CODE", "VARI", "FUNC", "STRG", "TXTR", "AUDO"};

// ---- The general-information chunk (GEN8), every format version ----------

struct Gen8 {
  uint8_t debug = 1;  // 0: built for debugging
  uint8_t version = 13;
  std::string name = "Game";
  std::string config = "Default";
  uint32_t last_instance_id = 100000;
  uint32_t last_tile_id = 10000000;
  uint32_t game_id = 0;
  uint32_t words6_9[4] = {0, 0, 0, 0};
  std::string display_name = "Game";  // version 8 on
  uint32_t width = 800;               // version 8 on
  uint32_t height = 480;              // version 8 on
  uint32_t flags = 2;                 // version 8 on
  std::string word25;                 // version 10 to 13: a string reference
  uint32_t word26 = 0, word27 = 0;    // version 11 on
  uint32_t feature_lo = 0xFFFFFFFFu, feature_hi = 0xFFFFFFFFu;  // version 12 on
  uint32_t steam_app_id = 0;          // version 13 on
  std::vector<int32_t> room_order;
  // For bad-input fixtures: a room-order count to write instead of the size
  // of room_order.
  std::optional<uint32_t> room_count_override;
};

// Appends a GEN8 chunk (or `tag`, for GEN7/GENL) laid out for g.version.
void AddGen8(Writer& w, const Gen8& g, std::string_view tag = "GEN8");
// The same into the body of an (empty) chunk.
void WriteGen8(ChunkBuilder& c, const Gen8& g);

// ---- The options chunk (OPTN) ---------------------------------------------

struct Optn {
  // Words 0 to 34 as stored; defaults as an authoring tool writes them.
  uint32_t words[35] = {0, 0, 0, 0, 1, 100, 0, 0, 0xFFFFFF, 0, 0, 0, 0, 0, 0, 1, 1, 1,
                        1, 1, 1, 0, 0, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0};
  std::string word26;  // string reference at word 26 (null when empty)
  std::vector<std::pair<std::string, std::string>> constants;  // name, value text
  std::optional<uint32_t> constant_count_override;  // bad-input fixtures
};

void AddOptn(Writer& w, const Optn& o);

// ---- The text description -------------------------------------------------
//
// One directive per line; '#' starts a comment; blank lines are ignored.
// Numbers are decimal or 0x-hexadecimal, optionally negative; texts are in
// double quotes with \" \\ \n \t escapes. tools/pack/examples/ holds a
// worked example of a whole game.
//
// Chunk order: whatever order the lines come in, the chunks are laid out in
// the container's own order (kContainerOrder), which the runner's chunk walk
// relies on; a chunk of another tag stays after the chunk written before
// it. "ORDER written" (for fixtures of damaged containers) keeps the chunks
// where their first lines are; "ORDER container" is the default.
//
//   GEN8 key=value ...     (also GEN7, GENL) keys: debug version name config
//                          display width height flags game_id last_instance
//                          last_tile steam word25 word26 word27 feature_lo
//                          feature_hi rooms=0,1,2 room_count. Left out, the
//                          room order is every room in index order, and
//                          last_instance and last_tile are raised past every
//                          instance and tile id of the rooms. A description
//                          with rooms needs a GEN8 line.
//   OPTN key=value ...     keys: word0 ... word34, word26="text",
//                          const.NAME="value" (repeatable, in order),
//                          const_count
//   STRINGS "a" "b" ...    extra strings added to the pool
//   STRG                   places the string pool here with ORDER written
//                          (else it goes last)
//   EMPTY TAG              a chunk of length 0
//   RAW TAG hexbytes       a chunk with exactly these bytes (may be empty)
//   CODE "name"            a code record, up to a line END (see code.h)
//   VARI, FUNC             the reference chunks of the variables the code
//                          uses and the functions it calls
//   OBJECT "name" k=v ...  an object, up to a line END; keys: sprite visible
//                          solid depth persistent parent mask physics sensor
//                          shape group density restitution linear_damping
//                          angular_damping friction awake kinematic
//                          points=x,y,x,y...
//   TIMELINE "name"        a timeline, up to a line END
//   ROOM "name" k=v ...    a room, up to a line END; keys: caption width
//                          height speed persistent colour show_colour code
//                          text flags physics gravity_x gravity_y scale
//   SCRIPT "name" [code=C] [text="t"]
//                          a script of the SCPT chunk; SCRIPT none: an
//                          absent one
//   PATH "name" k=v ...    a path of the PATH chunk; keys: kind (1 smooth,
//                          else straight) closed precision (both stored as
//                          written) points=x,y,speed,x,y,speed...
//                          point_count (a count to write instead); PATH
//                          none: an empty slot
//   SOUND "name" k=v ...   a sound of the SOND chunk; keys: kind (a storage
//                          code 100 to 103 or a legacy kind; default 101)
//                          file="goal.wav" (default the name + ".wav")
//                          extension (default the file's, from its last
//                          dot) volume pan effects preload audio=N (its
//                          AUDO entry; default its own slot number);
//                          SOUND none: an empty slot. OPTN word2=1 gives
//                          the sounds to the OpenAL audio system.
//   AUDIO k=v ...          an entry of the AUDO chunk, one whole sound file:
//                          file="f" (relative to the description) or
//                          bytes=hex; length=N (a length word to write
//                          instead); AUDIO none: an empty slot
//   OBJECT none, TIMELINE none, ROOM none
//                          an empty slot (no END)
//   The OBJT, TMLN and ROOM chunks are laid out for the version of the last
//   GEN8 line, 13 without one (see resources.h).
//
// Inside the resource blocks, one line each:
//   EVENT TYPE SUBTYPE [code=C] [text="t"]
//                          (OBJECT) an event entry with one action; TYPE
//                          and SUBTYPE are numbers or the script's constant
//                          names (see Event types below)
//   MOMENT STEP [code=C] [text="t"]
//                          (TIMELINE) a moment with one action
//   ACTION [code=C] [text="t"]
//                          another action for the last EVENT or MOMENT
//   BACKGROUND N k=v ...   (ROOM) layer N, 0 to 7; keys: visible foreground
//                          index x y tile_h tile_v hspeed vspeed stretch
//   VIEW N k=v ...         (ROOM) view N, 0 to 7; keys: visible xview yview
//                          wview hview xport yport wport hport hborder
//                          vborder hspeed vspeed object
//   INSTANCE k=v ...       (ROOM) keys: x y object id code text xscale
//                          yscale colour angle
//   TILE k=v ...           (ROOM) keys: x y background left top width
//                          height depth id xscale yscale colour
//   An instance or tile without an id (or id=0) gets the next id above all
//   the ids in use. Unset room fields take the defaults of a new room.
//
// Code: C is the quoted name of a CODE record or a number; text="t" gives
// source text. A game's code is compiled when the description has CODE
// records (or a RAW CODE chunk with bytes), or names compiled events by
// number (any code= on an EVENT, MOMENT or ACTION other than -1, or a code=
// above 0 elsewhere); otherwise it is source text. Left out, a room's or an
// instance's code is none: -1 in a compiled game, the null text in a
// source-text one (where code=0 also means none), and a script's is the
// empty text. A compiled game refuses text= on rooms, instances and
// scripts, and actions or scripts without code=, since its runner reads
// CODE indices there.
//
// Event types (TYPE): ev_create 0, ev_destroy 1, ev_alarm 2, ev_step 3,
// ev_collision 4, ev_keyboard 5, ev_mouse 6, ev_other 7, ev_draw 8,
// ev_keypress 9, ev_keyrelease 10, and 11 by number. Subtypes by type:
//   ev_alarm               the alarm number 0 to 11
//   ev_collision           the other object's index
//   ev_step                ev_step_normal 0, ev_step_begin 1, ev_step_end 2
//   ev_keyboard, ev_keypress, ev_keyrelease
//                          a key: vk_nokey 0, vk_anykey 1, vk_backspace 8,
//                          vk_tab 9, vk_enter 13, vk_shift 16, vk_control
//                          17, vk_alt 18, vk_escape 27, vk_space 32,
//                          vk_pageup 33, vk_pagedown 34, vk_end 35, vk_home
//                          36, vk_left 37, vk_up 38, vk_right 39, vk_down 40,
//                          vk_insert 45, vk_delete 46, vk_numpad0 to 9 (96
//                          to 105), vk_f1 to vk_f12 (112 to 123), and the
//                          rest of the script's vk_ names; or a quoted letter
//                          or digit, its upper-case code ("a" and "A": 65)
//   ev_mouse               ev_left_button 0 ... ev_mouse_leave 11,
//                          ev_global_press 12, ev_global_release 13, the
//                          joystick events 16 to 43, ev_global_left_button
//                          50 ... ev_global_middle_release 58,
//                          ev_mouse_wheel_up 60, ev_mouse_wheel_down 61
//   ev_other               ev_outside 0, ev_boundary 1, ev_game_start 2,
//                          ev_game_end 3, ev_room_start 4, ev_room_end 5,
//                          ev_no_more_lives 6, ev_animation_end 7,
//                          ev_end_of_path 8, ev_no_more_health 9, ev_user0
//                          to ev_user15 (10 to 25), ev_close_button 30
//   ev_draw                0 the draw event, ev_gui 64
// A name must belong to its type ("EVENT ev_step ev_left_button" is
// refused); numbers are taken as they are.
//
// Inside a CODE record, one instruction or label per line:
//   label:                 a label for the record's branches
//   push.T VALUE           T: d f (reals), i l (integers), b (0 or 1),
//                          e (16-bit immediate), s "text", v VAR
//   pop.v.T VAR, pop.i.T VAR, pop.e.T N
//                          VAR is INSTANCE.NAME, with NAME[] when an array
//                          index is on the stack; INSTANCE is self, other,
//                          all, noone, global, local, stack (popped), or a
//                          number (an object index, or an instance id from
//                          100000)
//   call.i NAME ARGC
//   conv.T.T, mul, div, rem, mod, add, sub, and, or, xor, shl, shr, slt,
//   sle, seq, sne, sge, sgt (all .T.T); neg.T not.T ret.T exit.T popz.T;
//   dup.T [N]
//   b, bt, bf, pushenv, popenv LABEL; popenv exit
//   break N
//   word N ...             raw words, unchecked
//
// Image chunks (see textures.h), each placed where its first line is:
//   ENTRY k=v ...          a texture-page entry (TPAG); keys: x y width height
//                          xoffset yoffset crop_width crop_height (default
//                          width, height) original_width original_height
//                          (default offset + crop size) page
//   PAGE k=v ...           a texture page (TXTR); png="file" (relative to
//                          the description), or width= height= with
//                          rgba=hexbytes or fill=0xRRGGBBAA (encoded as
//                          PNG), or bytes=hex (as they are); flags=N
//   PAGE none              an empty slot
//   SPRITE "name" k=v ...  (SPRT) keys: width height left top right bottom
//                          transparent smooth preload mode precise xorigin
//                          yorigin frames=e,e,... (entry indices, -1: none)
//                          masks=hex,hex (packed rows each) frame_count
//                          mask_count (counts to write instead)
//   BGND "name" k=v ...    (BGND) keys: transparent smooth preload entry
//   SPRITE none, BGND none an empty slot
//   FONT "name" k=v ...    (FONT) a font, up to a line END; keys: face="text"
//                          (default "Arial") size bold italic first charset
//                          antialias (0 to 254; left out, the record says
//                          none) last xscale yscale glyph_count (a count to
//                          write instead); where its glyphs lie: entry=N (a
//                          page entry), png="file" (a page of its own, the
//                          whole image its entry), or neither: the writer
//                          places the glyphs on a page of its own, each a
//                          solid rectangle of its fill
//     GLYPH C k=v ...      one glyph; C is a number or one quoted character;
//                          keys: x y (with entry= or png=) width height
//                          advance (default width) offset
//                          kerning=C:N,C:N fill=0xRRGGBBAA (without entry=
//                          and png=; default transparent)
//     GLYPHS "text" k=v ...
//                          one glyph per character of the text, all alike
//   FONT none              an empty slot
//   FONTTABLE N=C ...      the character table at the end of the FONT
//                          chunk: position N (0 to 255) holds character C
//                          (a number or one quoted character); the rest is
//                          Windows-1252 to Unicode
//   The glyphs of a font are written sorted by character; two glyphs of
//   one character are refused.
//
// Throws PackError with "line N: ..." for anything it cannot read.
std::vector<uint8_t> BuildFromDescription(std::string_view text, const std::string& base_dir = {});

}  // namespace twpack
