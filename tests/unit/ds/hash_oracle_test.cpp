// MD5, SHA-1, the engine's CRC-32 and base64 against the table that
// hash_oracle.py writes at build time from Python's hashlib, zlib and base64:
// a few thousand generated inputs of every small length and many longer
// ones, texts to decode (well-formed, unpadded and damaged), and digests of
// buffer ranges, wrapping ones included.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "ds/buffer.h"
#include "ds/ds.h"
#include "ds/hash.h"
#include "unit/ds/ds_call.h"
#include "unit/world_reset.h"

#ifndef TW_HASH_CASES
#error "TW_HASH_CASES names the generated table"
#endif

namespace {

using dstest::Call;

std::string FromHex(const std::string& hex) {
  std::string out;
  if (hex == "-") return out;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) out.push_back(char(std::stoi(hex.substr(i, 2), nullptr, 16)));
  return out;
}

std::vector<std::vector<std::string>> Lines(const char* kind) {
  std::ifstream in(TW_HASH_CASES);
  EXPECT_TRUE(in.good()) << "missing " << TW_HASH_CASES;
  std::vector<std::vector<std::string>> lines;
  std::string text;
  while (std::getline(in, text)) {
    std::istringstream words(text);
    std::vector<std::string> fields;
    for (std::string w; words >> w;) fields.push_back(w);
    if (!fields.empty() && fields[0] == kind) lines.push_back(fields);
  }
  return lines;
}

class HashOracle : public WorldTest {
 protected:
  void SetUp() override {
    WorldTest::SetUp();
    InitBufferFunctions();
  }
};

TEST_F(HashOracle, DigestsCrcAndBase64OfGeneratedBytes) {
  const auto lines = Lines("bytes");
  ASSERT_GT(lines.size(), 2000u);
  std::mt19937 rnd(7);
  for (const auto& f : lines) {
    const std::string data = FromHex(f[1]);
    SCOPED_TRACE(testing::Message() << "length " << data.size() << " data " << f[1].substr(0, 40));
    // The digests are fed in runs of random lengths, as ranges that wrap are.
    Md5Context md5;
    Sha1Context sha1;
    Md5_Init(&md5);
    Sha1_Reset(&sha1);
    for (size_t at = 0; at < data.size();) {
      const size_t run = std::min<size_t>(data.size() - at, rnd() % 150);
      Md5_Update(&md5, data.data() + at, int64_t(run));
      Sha1_Input(&sha1, data.data() + at, int64_t(run));
      at += run;
    }
    Md5_Final(&md5);
    ASSERT_TRUE(Sha1_Result(&sha1));
    EXPECT_EQ(Hash_Hex(md5.digest, sizeof md5.digest), f[2]);
    EXPECT_EQ(Hash_Hex(sha1.digest, sizeof sha1.digest), f[3]);
    char crc[9];
    std::snprintf(crc, sizeof crc, "%08x", Crc32_Bytes(data.data(), int64_t(data.size())));
    EXPECT_EQ(crc, f[4]);
    const std::string text = FromHex(f[5]);
    EXPECT_EQ(Base64_EncodeText(data.data(), data.size()), text);
    EXPECT_EQ(Base64_CheckedLength(text.c_str()), int64_t(data.size()));
  }
}

TEST_F(HashOracle, DecodingCheckedAndLenient) {
  const auto lines = Lines("decode");
  ASSERT_GT(lines.size(), 3000u);
  for (const auto& f : lines) {
    const std::string text = FromHex(f[1]);
    SCOPED_TRACE(testing::Message() << "text \"" << text.substr(0, 60) << "\"");
    const std::string lenient = FromHex(f[3]);
    std::vector<uint8_t> out(text.size() * 3 / 4 + 4, 0xEE);
    const int64_t got = Base64_Decode(text.c_str(), int64_t(out.size()), out.data(), true);
    ASSERT_EQ(got, int64_t(lenient.size()));
    EXPECT_EQ(std::string(out.begin(), out.begin() + got), lenient);
    EXPECT_EQ(out[size_t(got)], 0);  // terminated

    // A script sees the strict decoder: exactly the bytes, or -1 and a report.
    const dstest::Called r = Call("buffer_base64_decode", {text.c_str()});
    if (f[2] == "x") {
      EXPECT_EQ(Base64_CheckedLength(text.c_str()), -1);
      EXPECT_EQ(r.Real(), -1);
      EXPECT_NE(r.error.find("\nbuffer_base64_decode: invalid base64 text\n"), std::string::npos) << r.error;
      continue;
    }
    const std::string bytes = FromHex(f[2]);
    EXPECT_EQ(Base64_CheckedLength(text.c_str()), int64_t(bytes.size()));
    EXPECT_EQ(r.error, "");
    IBuffer* b = Buffer_Get(int(r.Real()));
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->Size(), int(bytes.size()));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(b->Data()), size_t(b->Size())), bytes);
    Buffer_Delete(int(r.Real()));
  }
}

TEST_F(HashOracle, DigestsAndBase64OfBufferRanges) {
  const auto lines = Lines("region");
  ASSERT_GT(lines.size(), 2000u);
  for (const auto& f : lines) {
    const int kind = std::stoi(f[1]);
    const std::string data = FromHex(f[2]);
    const int offset = std::stoi(f[3]), size = std::stoi(f[4]);
    SCOPED_TRACE(testing::Message() << "kind " << kind << " length " << data.size() << " offset " << offset
                                    << " size " << size);
    const double id = Call("buffer_create", {double(data.size()), double(kind), 1.0}).Real();
    IBuffer* b = Buffer_Get(int(id));
    ASSERT_NE(b, nullptr);
    std::memcpy(b->Data(), data.data(), data.size());
    EXPECT_EQ(Call("buffer_md5", {id, double(offset), double(size)}).Text(), f[5]);
    EXPECT_EQ(Call("buffer_sha1", {id, double(offset), double(size)}).Text(), f[6]);
    EXPECT_EQ(Call("buffer_base64_encode", {id, double(offset), double(size)}).Text(), FromHex(f[7]));
    Call("buffer_delete", {id});
  }
}

}  // namespace
