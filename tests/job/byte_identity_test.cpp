// The bytes a job writes are the same on every system the program is built
// for: these were written by the Linux build's talvek-cli for the same input
// and secrets, and are checked against both builds' jobs. The input holds
// every byte value, CR LF and lone CR and LF line ends, and Ctrl+Z (0x1A),
// which a text-mode stream would turn or stop at.
#include <gtest/gtest.h>

#include <string>

#include "job/transform_file.h"
#include "job_test_support.h"

namespace talvek::test {
namespace {

std::string bytesOfHex(const std::string& hex) {
  std::string bytes;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) {
    bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
  }
  return bytes;
}

std::string identityInput() {
  std::string data;
  for (int i = 0; i < 256; ++i) data += static_cast<char>(i);
  data += std::string("line one\r\nline two\n\x1a\x1a tail\r\r\n\x00\xff", 31);
  for (int i = 0; i < 200; ++i) data += static_cast<char>((i * 37 + 11) % 256);
  return data;
}

struct IdentityCase {
  const char* name;
  // The key text: a password as typed, or what a key file reads as.
  std::string keyText;
  bool encode;
  const char* expectedHex;
};

const IdentityCase kIdentityCases[] = {
    {"password", "Morva~Key p\xC3\xA4ss 42", true,
     "0020206040140c070242050b0c34070f0888426241a2615c301986c60e1d1e7c1021111984a462e4"
     "82a4542b0b4b172f30c419331aa9c6e68327a3ec783d8fcf2041420d2245233a0929a469c4359c4f"
     "1454295354552b572cca4b6bc5abe57dc06198d83265669d3469355b8dade6ed07c5e4731d5d3b77"
     "78e53d7b3eebcfef0830280e0985a1e144898a2e468d477c1232297249562d9726664d9b9c764f9f"
     "500d54744ab46a9e51a9aaea56adaebe58b1599d96b66bf68be675bb2f6f5fbfc00761c3622ed8f8"
     "8c39ac2f99cdb3f368d1d24f6ad56bbe1b3bad7bcd77bddf387871e3e49773e7744f5d7dcebdeebf"
     "e1f1bcfc7af5f6df7cf97ddf9fbfefffc6a5dc6508db37650d283669372b048e77eda06834201d58"
     "b46c0d340500ff5806aaa7f34ca71c33165f51c7ec441b5b402d59fd4127e50e51cdbcc51e6186ae"
     "68f50df98c31ea7a8f748467236c6bfb2015358f5acedf6484ad29deb90189d23895ba7f0229279b"
     "13b72ee0c245ec9b3079052f54e54fc3746846eac7346caf203596df52c9ee4c1c5d413d993e6167"
     "061655cf3d461f6388b669f70e0acc710bbaaf7c8869a3ec6cfd221d36915bde00a4a4ed49e6bd03"
     "0a533997bc87032b28ab53f74e21e24df09db0f9063156ed50c57578862be7748cb72437176053cb"
     "f0541d5f424dd9"},
    // The key file "first line\r\nsecond line\r\n\x1a" "after the end".
    {"keyFile", "first line\nsecond line\n", true,
     "00010881104181c1082105580386e00f0188219841a8b0170319688d704787c72024111909926227"
     "8249a259c269712f0631c899d04d8dcd38271dd90f9ee33f040a241a442a3247094929a5315393d3"
     "502a299a15aa655785caa5dac5eaf25f0c6189b1915999d9682d355b1bb6e66f078b279b47abb377"
     "0f79e9bdf15f9fdf8030411c21c26887884ca85cc86c748f12914ac95265a5e598334ddc27cee99f"
     "0a0d2a1d4a2d35a715a9aad5b26babebb036599d2dda6bb78bcdabddcbedf5bf18c10be11371b1f1"
     "c839655e33e6eccf0d8e2d9e4daeb6d71bd96bed7377b7f7e03c711f39f26ee78e4fae5fce6f77ef"
     "1ef1cbf9d37dbdfdf83f7ddf3ffeefffc64be62b027b7365a10ab1b4b959081d77ed05d086104761"
     "9663d068a000ff0b0655e9cf137a83cc58af513e3b88635b082dac7f41c9f28315cdcb8bf058a1ea"
     "d0be0df919c4ead38fe8243bc88db6fb0445a9c7d276bfc848ad49bd3780624b07acabfe40497273"
     "13bd8b83b0549de6c0bc057915bce9c38e6823bac70d36eb023569bf9272bbc438ab413d33f8613b"
     "062caa7e4fc8f16311ad4bfb705099e2b0ba7df811b4e8b38def223ac68cb5db002529b7526eb7c0"
     "28a939bc2ff0602b05aba9fd4e4871530f9d0bf3304c95dea0b875780dace7a38c6f21b9c50c35cb"
     "1e15e8af126ab3"},
    {"keyFileDecode", "first line\nsecond line\n", false,
     "000180060114181c08481461301ae00f0122216241a2c217c01986360774787c20094464904a6227"
     "8225a265c2a5c52f81318c660dd4d8dc38c97467f07ae33f0428246844a8c847424992961335393d"
     "508aa46a51aa6557852ba56bc5abcb5f036198c61995999d684bd46db1dae66f072e276e47aece77"
     "c3799ef61ff5f9fd800c0570120b68878831a871c8b1d18f8491a42725565a5e98cc3573723be99f"
     "0a342a744ab4d4a745a9aa572bb6babeb08d6576d26b6bb78b37ab77cbb7d7bf06c1b08731171b1f"
     "c84e9579339beccf0d3a2d7a4dbadad7c6d9b6b737777b7fe00fc57c93cb6ee78e3dae7dcebdddef"
     "87f1bce73dd7dbdff8cff57ff3fbefffc62de6ac02edcd65680a1bd29b9580d1777b144368404761"
     "968dd0a1a000ff0b81559e3f31a738cc58eb45f8b322635b08b4acfd4127cb8345cdbc2e0f851aae"
     "d0af34e79113ead38fa324ecc836dafb01459a1f2d67fb8c486b25f67302624b07b2abfb4025c973"
     "c4bdb80e0b45d96ec02f14e551f2e9c38ea123eac734d8eb803596fe2927bb4c38ea05f433e3613b"
     "06b0aaf94f23c76344adb4ef0705992eb0aef5e311d2e8b38dbf22e8c632d6db002592de25e67b0c"
     "286ae4f2f2c3602b05aea9f74e21c553c39db0cf03c459eda02ed5e1d0b2e7a38cbd21e6c530d4cb"
     "87158ebe21a63b"},
};

void PrintTo(const IdentityCase& c, std::ostream* out) {
  *out << c.name;
}

class ByteIdentityTest : public JobTest, public ::testing::WithParamInterface<IdentityCase> {};

TEST_P(ByteIdentityTest, JobWritesTheLinuxBuildsBytes) {
  const IdentityCase& c = GetParam();
  const std::string input = identityInput();
  ASSERT_EQ(input.size(), 487u);
  const std::string expected = bytesOfHex(c.expectedHex);
  ASSERT_EQ(expected.size(), input.size());
  ASSERT_EQ(expectedTransform(input, c.keyText, c.encode), expected);
  writeFile(file("input.bin"), input);
  // A new destination, and one that is replaced.
  writeFile(file("old.tc"), "old bytes");
  for (const char* destination : {"new.tc", "old.tc"}) {
    JobReport report;
    ASSERT_TRUE(
        transformFile(file("input.bin"), file(destination), c.keyText, c.encode, true, &report))
        << destination << ": " << report.why.toString();
    EXPECT_EQ(readFile(file(destination)), expected) << destination;
  }
  expectNoStrayFiles({"input.bin", "new.tc", "old.tc"});
}

INSTANTIATE_TEST_SUITE_P(Secrets, ByteIdentityTest, ::testing::ValuesIn(kIdentityCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace talvek::test
