// Reading ahead and writing behind on a second thread: the same bytes as
// reading and writing in place, and every failure back on the caller's
// thread, at the block it belongs to.
#include <gtest/gtest.h>

#include <cstdio>
#include <stdexcept>

#include "core/background_io.h"
#include "core/errors.h"
#include "core/fault.h"
#include "core/files.h"
#include "support/test_util.h"

namespace tavo {
namespace {

using test::ListFiles;
using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

constexpr std::size_t kBlock = 4096;
constexpr std::size_t kSlack = 16;

std::string Pattern(std::size_t size, unsigned seed) {
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i) {
    bytes[i] = static_cast<char>((i * 131 + seed * 7 + i / 977) & 0xFF);
  }
  return bytes;
}

// The blocks of a file as ReadAhead hands them over; also checks the room
// past every block.
std::vector<std::string> Blocks(const fs::path& file) {
  std::FILE* f = OpenForReading(file);
  EXPECT_NE(f, nullptr);
  std::vector<std::string> blocks;
  try {
    ReadAhead ahead(f, file, kBlock, kSlack);
    std::vector<char> buf;
    while (true) {
      const std::size_t n = ahead.Next(buf);
      EXPECT_EQ(buf.size(), kBlock + kSlack);
      if (n == 0) break;
      blocks.emplace_back(buf.data(), n);
      if (n < kBlock) break;
    }
    EXPECT_EQ(ahead.Next(buf), 0u);  // nothing past the end
  } catch (...) {
    std::fclose(f);
    throw;
  }
  std::fclose(f);
  return blocks;
}

TEST(ReadAhead, HandsOverTheFileBlockByBlock) {
  TempDir dir;
  for (std::size_t size : {std::size_t{0}, std::size_t{1}, kBlock - 1, kBlock, kBlock + 1,
                           3 * kBlock, 5 * kBlock + 17}) {
    SCOPED_TRACE(size);
    const std::string bytes = Pattern(size, static_cast<unsigned>(size));
    WriteBytes(dir / "f.bin", bytes);
    const std::vector<std::string> blocks = Blocks(dir / "f.bin");
    std::string joined;
    for (std::size_t k = 0; k < blocks.size(); ++k) {
      if (k + 1 < blocks.size()) {
        EXPECT_EQ(blocks[k].size(), kBlock);
      }
      joined += blocks[k];
    }
    EXPECT_EQ(joined, bytes);
  }
}

// A read that fails on the second thread is an OpError on the caller's, when
// the block it was reading is asked for: the blocks before it come whole.
TEST(ReadAhead, AFailedReadIsAnErrorAtItsBlock) {
  TempDir dir;
  const std::string bytes = Pattern(4 * kBlock + 100, 1);
  WriteBytes(dir / "f.bin", bytes);
  std::uint64_t k = 1;
  for (;; ++k) {
    std::FILE* f = OpenForReading(dir / "f.bin");
    ASSERT_NE(f, nullptr);
    fault::Arm(k);
    std::string got;
    bool threw = false;
    {
      ReadAhead ahead(f, dir / "f.bin", kBlock, kSlack);
      std::vector<char> buf;
      try {
        for (std::size_t n = kBlock; n == kBlock;) {
          n = ahead.Next(buf);
          got.append(buf.data(), n);
        }
      } catch (const OpError& e) {
        threw = true;
        EXPECT_NE(e.text().find(u"f.bin"), Text::npos);
      }
    }
    const bool fired = fault::Fired();
    fault::Disarm();
    std::fclose(f);
    ASSERT_EQ(threw, fired) << k;
    if (!fired) {
      EXPECT_EQ(got, bytes);
      break;
    }
    EXPECT_EQ(got, bytes.substr(0, (k - 1) * kBlock)) << k;
  }
  EXPECT_EQ(k, 6u);  // five reads, each of which failed in turn
}

// Blocks of different sizes go out in order; the caller fills whatever block
// comes back.
template <class Block = std::vector<char>>
void WriteBlocks(const fs::path& target, const std::vector<std::string>& blocks) {
  AtomicFile out(target);
  WriteBehind<Block> behind(out);
  Block block;
  for (const std::string& bytes : blocks) {
    if (block.size() < bytes.size()) block.resize(bytes.size());
    std::copy(bytes.begin(), bytes.end(), block.begin());
    behind.Write(block, bytes.size());
  }
  behind.Finish();
  out.Commit();
}

TEST(WriteBehind, WritesTheBlocksInOrderAndNothingWhenLeftUnfinished) {
  TempDir dir;
  const std::vector<std::string> blocks = {Pattern(70000, 1), Pattern(10, 2), "",
                                           Pattern(300000, 3), Pattern(65536, 4)};
  std::string joined;
  for (const std::string& b : blocks) joined += b;
  WriteBlocks(dir / "out.bin", blocks);
  EXPECT_EQ(ReadBytes(dir / "out.bin"), joined);
  WriteBlocks<std::string>(dir / "out.bin", blocks);
  EXPECT_EQ(ReadBytes(dir / "out.bin"), joined);

  // A run that stops between blocks leaves neither the file nor its temporary.
  {
    AtomicFile out(dir / "stopped.bin");
    WriteBehind<std::vector<char>> behind(out);
    std::vector<char> block(blocks[0].begin(), blocks[0].end());
    behind.Write(block, block.size());
  }
  EXPECT_EQ(ListFiles(dir.path()), std::vector<std::string>{"out.bin"});
}

// A write that fails on the second thread is an OpError from a later Write or
// from Finish, and the target is never put in place.
TEST(WriteBehind, AFailedWriteComesBackAndLeavesNothing) {
  TempDir dir;
  const std::vector<std::string> blocks = {Pattern(70000, 1), Pattern(300000, 3),
                                           Pattern(65536, 4), Pattern(5, 5)};
  std::string joined;
  for (const std::string& b : blocks) joined += b;
  std::uint64_t k = 1;
  for (;; ++k) {
    fault::Arm(k);
    bool threw = false;
    try {
      WriteBlocks(dir / "out.bin", blocks);
    } catch (const OpError& e) {
      threw = true;
      EXPECT_NE(e.text().find(u"out.bin"), Text::npos);
    }
    const bool fired = fault::Fired();
    fault::Disarm();
    ASSERT_TRUE(fired || !threw) << k;
    if (threw) {
      EXPECT_TRUE(ListFiles(dir.path()).empty()) << k << ": " << FileOpName(fault::FiredOp());
      continue;
    }
    // A failed open of the temporary file is retried under another name.
    EXPECT_EQ(ReadBytes(dir / "out.bin"), joined) << k;
    if (!fired) break;
    fs::remove(dir / "out.bin");
  }
  EXPECT_GE(k, 5u);  // the open, writes, flush and rename failed in turn
}

TEST(BackgroundJob, RunsAgainOnEachStartAndPassesItsErrorOn) {
  int runs = 0;
  bool fail = false;
  BackgroundJob job([&] {
    ++runs;
    if (fail) throw std::runtime_error("job failed");
  });
  job.Wait();  // nothing started: nothing to wait for
  for (int k = 0; k < 3; ++k) {
    job.Start();
    job.Wait();
  }
  EXPECT_EQ(runs, 3);
  fail = true;
  job.Start();
  EXPECT_THROW(job.Wait(), std::runtime_error);
  job.Wait();  // the error is passed on once
  fail = false;
  job.Start();
  job.Wait();
  EXPECT_EQ(runs, 5);
  job.Start();  // still running, or done, when the job is destroyed
}

}  // namespace
}  // namespace tavo
