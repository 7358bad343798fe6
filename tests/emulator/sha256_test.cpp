#include "emulator/sha256.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using emulator::Sha256;
using emulator::Sha256Of;
using emulator::ToHex;

const uint8_t* Bytes(const std::string& text) { return reinterpret_cast<const uint8_t*>(text.data()); }

struct Vector {
  std::string message;
  const char* digest;
};

class Sha256VectorTest : public ::testing::TestWithParam<Vector> {};

TEST_P(Sha256VectorTest, MatchesThePublishedDigest) {
  const Vector& v = GetParam();
  EXPECT_EQ(ToHex(Sha256Of(Bytes(v.message), v.message.size())), v.digest);
}

INSTANTIATE_TEST_SUITE_P(
    Known, Sha256VectorTest,
    ::testing::Values(
        Vector{"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        Vector{"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        Vector{"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
               "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        Vector{
            "abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrlmnopqrs"
            "mnopqrstnopqrstu",
            "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1"},
        // Lengths around the padding boundary: 55 fits the length in one
        // block, 56 needs a second, 64 is exactly one block of data.
        Vector{std::string(55, 'a'), "9f4390f8d30c2dd92ec9f095b65e2b9ae9b0a925a5258e241c9f1e910f734318"},
        Vector{std::string(56, 'a'), "b35439a4ac6f0948b6d6f9e3c6af0f5f590ce20f1bde7090ef7970686ec6738a"},
        Vector{std::string(64, 'a'), "ffe054fe7ae0cb6dc65c3af9b61d5209f439851db43d0ba5997337df154668eb"},
        Vector{std::string(1000000, 'a'),
               "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"}));

// Feeding the message in pieces must not change the digest, whatever the
// piece boundaries are relative to the 64-byte blocks.
class Sha256PiecesTest : public ::testing::TestWithParam<std::size_t> {};

TEST_P(Sha256PiecesTest, DigestDoesNotDependOnHowTheMessageIsSplit) {
  const std::string message(1000000, 'a');
  Sha256 sha;
  const std::size_t piece = GetParam();
  for (std::size_t at = 0; at < message.size(); at += piece)
    sha.Update(Bytes(message) + at, std::min(piece, message.size() - at));
  EXPECT_EQ(ToHex(sha.Finish()), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

INSTANTIATE_TEST_SUITE_P(Pieces, Sha256PiecesTest, ::testing::Values(1, 3, 55, 63, 64, 65, 127, 4096));

}  // namespace
