// Whole files through the BLOB functions: chunk sizes, the path guard, the
// read offsets the two families keep, and the bytes that land on disk.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <memory>
#include <random>
#include <string>

#include "legacy/blob_transfer.h"
#include "qxstore.h"
#include "remote/flat_records.h"
#include "support/test_store.h"

namespace qx {
namespace {

std::string RandomBytes(size_t count, unsigned seed) {
  std::mt19937 generator(seed);
  std::string bytes(count, '\0');
  for (char& c : bytes) c = static_cast<char>(generator() & 0xFF);
  return bytes;
}

template <class Record>
std::string Chunk(const Record& record) {
  return std::string(reinterpret_cast<const char*>(record.data), record.length);
}

template <class Record>
void SetChunk(Record* record, const std::string& bytes) {
  std::memcpy(record->data, bytes.data(), bytes.size());
  record->length = static_cast<uint32_t>(bytes.size());
}

class BlobTransferTest : public test::StoreTest {
 protected:
  void SetUp() override {
    StoreTest::SetUp();
    bad_mail_ = root() + "/badmail";
    MakeDirs(bad_mail_);
    registry().SetString(test::kLibraryRootKey, "Bad Mail Directory", bad_mail_);
    ReloadLibrary();
  }

  std::unique_ptr<BLOBRECORD> Blob(const std::string& path) {
    auto blob = std::make_unique<BLOBRECORD>();
    std::memset(blob.get(), 0, sizeof *blob);
    std::strcpy(blob->path, path.c_str());
    return blob;
  }

  std::string bad_mail_;
};

TEST_F(BlobTransferTest, ChunkedWriteReadsBackInChunksOf8192) {
  const std::string content = RandomBytes(20000, 2);
  const std::string path = bad_mail_ + "/written.MAI";
  WriteFile(path, RandomBytes(50000, 3));  // the first chunk replaces what was there
  auto blob = Blob(path);
  for (size_t at = 0; at < content.size(); at += 8192) {
    SetChunk(blob.get(), content.substr(at, 8192));
    EXPECT_EQ(at == 0 ? BLOBWriteFirstChunk(blob.get()) : BLOBWriteNextChunk(blob.get()), 1u);
  }
  EXPECT_EQ(ReadFile(path), content);
  std::string read, lengths;
  for (uint32_t more = BLOBGetFirstChunk(blob.get()); more != 0; more = BLOBGetNextChunk(blob.get())) {
    read += Chunk(*blob);
    lengths += std::to_string(blob->length) + " ";
  }
  EXPECT_EQ(lengths, "8192 8192 3616 ");
  EXPECT_EQ(blob->length, 0u);
  EXPECT_EQ(read, content);

  // A length beyond the chunk writes the chunk and nothing past the record.
  std::memset(blob->data, 'z', sizeof blob->data);
  blob->length = 0xFFFFFFFF;
  EXPECT_EQ(BLOBWriteNextChunk(blob.get()), 1u);
  EXPECT_EQ(ReadFile(path), content + std::string(8192, 'z'));
  // A file that cannot be created is not reported.
  auto nowhere = Blob(bad_mail_ + "/no/such/dir.MAI");
  SetChunk(nowhere.get(), "lost");
  EXPECT_EQ(BLOBWriteFirstChunk(nowhere.get()), 1u);
  EXPECT_FALSE(Exists(bad_mail_ + "/no"));
}

TEST_F(BlobTransferTest, GuardRefusesPathsThatLeaveTheBadMailDirectory) {
  const std::string inside = bad_mail_ + "/x.MAI";
  const std::string outside = root() + "/outside.MAI";
  MakeDirs(bad_mail_ + "/sub");
  WriteFile(inside, "inside");
  WriteFile(outside, "outside");
  for (const std::string& path :
       {bad_mail_ + "/../outside.MAI", bad_mail_ + "/sub/../x.MAI", bad_mail_ + "\\\\x.MAI",
        bad_mail_ + "//x.MAI", outside, root() + "/BADMAIL/x.MAI", bad_mail_ + "/../created.MAI"}) {
    SCOPED_TRACE(path);
    auto blob = Blob(path);
    std::memset(blob->data, 0xAB, sizeof blob->data);
    blob->length = 4242;
    EXPECT_EQ(BLOBGetSize(blob.get()), 0u);
    EXPECT_EQ(BLOBGetFirstChunk(blob.get()), 0u);
    EXPECT_EQ(blob->data[0], 0xAB);
    SetChunk(blob.get(), "written");
    EXPECT_EQ(BLOBWriteFirstChunk(blob.get()), 0u);
  }
  EXPECT_EQ(ReadFile(inside), "inside");
  EXPECT_EQ(ReadFile(outside), "outside");
  EXPECT_FALSE(Exists(root() + "/created.MAI"));

  // Without a bad mail directory any beginning passes, parent references never.
  registry().Remove(test::kLibraryRootKey, "Bad Mail Directory");
  ReloadLibrary();
  EXPECT_EQ(BLOBGetFirstChunk(Blob(outside).get()), 1u);
  EXPECT_EQ(BLOBGetFirstChunk(Blob(bad_mail_ + "/../outside.MAI").get()), 0u);
}

TEST_F(BlobTransferTest, MessageFilesAreNamedByStorePathsAndFamiliesKeepOwnOffsets) {
  const std::string message = RandomBytes(9000, 4);
  WriteFile(mail_root() + "/PO/MAILROOT/MB/INBOX/A.MAI", message);
  auto blob = test::MessageBlobRecord("\\Inbox", "A.MAI");
  const std::string big = RandomBytes(20000, 5);
  WriteFile(bad_mail_ + "/big.MAI", big);
  auto bad = Blob(bad_mail_ + "/big.MAI");
  // A read of one family does not move the other's offset...
  ASSERT_EQ(BLOBGetFirstChunk(bad.get()), 1u);
  ASSERT_EQ(MessageItemBLOBGetFirstChunk(blob.get()), 1u);
  ASSERT_EQ(MessageItemBLOBGetNextChunk(blob.get()), 1u);
  EXPECT_EQ(Chunk(*blob), message.substr(8192));
  // ...but within a family the offset is one for every file.
  const std::string other = RandomBytes(20000, 6);
  WriteFile(bad_mail_ + "/other.MAI", other);
  auto second = Blob(bad_mail_ + "/other.MAI");
  ASSERT_EQ(BLOBGetNextChunk(second.get()), 1u);
  EXPECT_EQ(Chunk(*second), other.substr(8192, 8192));
}

// A FIFO where a message file should be would stop a caller, and on a
// remote host every caller, for as long as nobody writes to it.
TEST_F(BlobTransferTest, FifosAreRefusedAtOnce) {
  const std::string inbox = mail_root() + "/PO/MAILROOT/MB/Inbox";
  MakeDirs(inbox);
  for (const std::string& fifo : {inbox + "/pipe.MAI", bad_mail_ + "/pipe.MAI"}) {
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  }
  alarm(30);
  auto blob = Blob(bad_mail_ + "/pipe.MAI");
  EXPECT_EQ(BLOBGetFirstChunk(blob.get()), 0u);
  EXPECT_EQ(BLOBWriteNextChunk(blob.get()), 1u);  // refused silently, as writes always were
  EXPECT_EQ(MessageItemBLOBGetFirstChunk(test::MessageBlobRecord("\\Inbox", "pipe.MAI").get()), 0u);
  alarm(0);
}

}  // namespace
}  // namespace qx
