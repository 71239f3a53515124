// JSON text to maps and lists and back, over json-c. A map's nested maps and
// lists travel through their marks; decoded ones are owned by their holders.
#pragma once
#include <string>

// Containers nest at most this deep in what json_decode reads and what
// json_encode writes (the object that wraps an array or a scalar counts), so
// neither json-c nor the conversions recurse without bound.
constexpr int kJsonMaxNesting = 1000;

// The JSON text of the map; "" when the id names no map. Values that JSON
// cannot hold (NaN, infinities, missing containers, a container inside
// itself, nesting past the limit) are written as null.
std::string JSON_Encode(int mapId);
// The id of a new map read from the text; an array or anything that is not
// an object is read under the key "default". -1, and no container made, when
// nothing can be read (or the text nests too deep).
int JSON_Decode(const char* text);
