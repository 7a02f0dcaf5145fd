#include "index/index_text.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "index/direct_transactions.h"
#include "index/folder_status.h"
#include "index/index_format.h"
#include "index/index_outline.h"
#include "index/index_outline_cache.h"
#include "index/index_text_insert.h"
#include "platform/derived_cache.h"
#include "platform/file.h"
#include "support/mail_folder_test.h"

namespace qx {
namespace {

// Bytes that every escaping and normalising rule of the serialiser meets.
constexpr std::string_view kAwkwardBytes = "aZ09 &<>\"'\t\n\r\x01\x0b\x1f\x7f\xc3\xa9\xff";

std::string RandomText(std::mt19937& random, size_t max_length) {
  std::string text;
  const size_t length = random() % (max_length + 1);
  for (size_t i = 0; i < length; ++i) {
    text += random() % 3 == 0 ? kAwkwardBytes[random() % kAwkwardBytes.size()] : char('a' + random() % 26);
  }
  return text;
}

// What a load and a save of `text` write; empty when it does not parse.
std::string RoundTrip(std::string_view text) {
  XmlDocument document = XmlDocument::New();
  if (!document.dom().load_buffer(text.data(), text.size())) return {};
  return document.Xml();
}

// A random index document as the DOM writes it: entries with IDs in any
// order, children with awkward text, sometimes nested or empty, sometimes
// a stray element of another name.
std::string RandomIndexXml(std::mt19937& random) {
  XmlDocument document = XmlDocument::New();
  pugi::xml_node root = document.dom().append_child(kRootElement);
  root.append_attribute(kLastUidAttribute) = std::to_string(random() % 1000).c_str();
  const size_t entries = random() % 8;
  for (size_t i = 0; i < entries; ++i) {
    pugi::xml_node entry = root.append_child(random() % 8 == 0 ? "OTHER" : kEntryElement);
    if (random() % 6 != 0) entry.append_attribute(kIdAttribute) = RandomText(random, 6).c_str();
    for (const char* name : {kFlagStatusElement, kReadElement, kSubjectElement}) {
      if (random() % 4 == 0) continue;
      pugi::xml_node child = entry.append_child(name);
      const std::string value = random() % 3 == 0 ? "\\SEEN \\deleted" : RandomText(random, 5);
      if (!value.empty()) child.append_child(pugi::node_pcdata).set_value(value.c_str());
      if (random() % 5 == 0) child.append_child("X").append_attribute("A") = RandomText(random, 3).c_str();
    }
  }
  return document.Xml();
}

// The changes another program's writer might make, each one the parser reads
// to the same document.
std::string Perturbed(std::mt19937& random, std::string text) {
  static const std::array<std::pair<std::string_view, std::string_view>, 9> kEdits = {{
      {"/>", " />"},  {"<READ/>", "<READ></READ>"}, {"&amp;", "&#38;"},
      {"&lt;", "&#60;"}, {"\"", "'"}, {"><", ">\n<"}, {"&#01;", "&#1;"}, {"\n", "\r\n"},
      {"<ELEMENT", "<!-- c --><ELEMENT"},
  }};
  const auto& [from, to] = kEdits[random() % kEdits.size()];
  const size_t at = text.find(from, random() % (text.size() + 1));
  if (at != std::string::npos) text.replace(at, from.size(), to);
  if (random() % 10 == 0) text = "<?xml version=\"1.0\"?>" + text;
  return text;
}

TEST(IndexTextTest, RecognisesExactlyTheTextsTheSerialiserWritesAndReadsTheirEntries) {
  std::mt19937 random(20261206);
  size_t recognised = 0;
  for (int round = 0; round < 4000; ++round) {
    const std::string written = RandomIndexXml(random);
    const std::string text = round % 2 == 0 ? written : Perturbed(random, written);
    const std::optional<IndexText> found = RecogniseIndexText(text);
    const std::string again = RoundTrip(text);
    if (text.ends_with("/>") && text.find('<', 1) == std::string::npos) {
      EXPECT_FALSE(found);  // a root without content is left to the DOM
      continue;
    }
    // A text written as it reads must be recognised, else deliveries would
    // fall back for nothing; one that does not read back the same, never.
    ASSERT_EQ(found.has_value(), again == text) << testing::PrintToString(text);
    if (!found) continue;
    ++recognised;

    // Its children and status are the DOM's.
    XmlDocument document = XmlDocument::New();
    ASSERT_TRUE(document.dom().load_buffer(text.data(), text.size()));
    std::vector<std::string> dom_ids, text_ids;
    for (pugi::xml_node entry : document.DocumentElement().children(kEntryElement)) {
      if (entry.attribute(kIdAttribute)) dom_ids.push_back(entry.attribute(kIdAttribute).value());
    }
    for (const IndexTextChild& child : found->children) {
      if (child.is_entry && child.has_id) text_ids.push_back(DecodeIndexText(child.id));
    }
    EXPECT_EQ(text_ids, dom_ids) << testing::PrintToString(text);
    std::array<uint32_t, kFolderStatusFields> from_dom{}, from_text{};
    ComputeFolderStatus(document, from_dom);
    const IndexOutline outline = IndexOutline::Of(*found);
    IndexTextInsert(outline).CountStatus(from_text);
    EXPECT_EQ(from_text, from_dom) << testing::PrintToString(text);
  }
  EXPECT_GT(recognised, 1500u);  // the bulk of the rounds met the recognised path
}

// Deliveries change the index in its bytes; the same delivery into the same
// index with an XML declaration in front (which the byte path leaves to
// the DOM) must give the same file and the same status, over a long random
// run of deliveries, removals and flag changes.
class IndexTextDeliveryTest : public test::MailFolderTest {
 protected:
  void SetUp() override {
    test::MailFolderTest::SetUp();
    setenv("QXSTORE_FSYNC", "never", 1);  // thousands of commits; their syncs are not tested here
  }

  std::string IndexFile() const { return ReadFile(Path("_index.xml")); }
};

TEST_F(IndexTextDeliveryTest, DeliveriesIntoTheBytesWriteWhatTheDomWrites) {
  constexpr int kSteps = 800;  // some 1,000 files delivered, 300 removals and flag changes
  std::mt19937 random(7);
  std::vector<std::string> indexed;
  size_t spliced = 0;
  int next_name = 0;
  for (int step = 0; step < kSteps; ++step) {
    const unsigned choice = random() % 10;
    if (choice < 6 || indexed.empty()) {
      // One to three new files, in random case so that byte order matters,
      // now and then a name already indexed or a file that is not there.
      std::string list;
      const size_t count = 1 + random() % 3;
      for (size_t i = 0; i < count; ++i) {
        std::string name = (random() % 2 ? "m" : "M") + std::to_string(next_name++ * 7919 % 10007) + ".MAI";
        if (random() % 15 == 0 && !indexed.empty()) name = indexed[random() % indexed.size()];
        if (random() % 15 != 0) {
          const std::string subject = random() % 20 == 0 ? "  " : RandomText(random, 12);
          Put(name, test::MessageText(subject, random() % 3 ? "" : "X-Priority: 1\r\n"));
        }
        list += (list.empty() ? "" : ",") + name;
      }
      const char* flags = random() % 4 == 0 ? "\\FLAGGED,\\SEEN" : nullptr;
      const std::string before = IndexFile();
      if (RecogniseIndexText(before)) ++spliced;
      const uint32_t by_bytes = Direct_StoreIndex_InsertItemEx("PO", "box", "Inbox", list.c_str(), flags);
      const std::string bytes_result = IndexFile();
      const std::string bytes_status = ReadFile(Path("_FOLDER.DAT"));

      if (!before.empty()) WriteFile(Path("_index.xml"), "<?xml version=\"1.0\"?>" + before);
      else platform::DeleteFile(Path("_index.xml"));
      const uint32_t by_dom = Direct_StoreIndex_InsertItemEx("PO", "box", "Inbox", list.c_str(), flags);
      std::string dom_result = IndexFile();
      if (dom_result == "<?xml version=\"1.0\"?>" + before) dom_result = before;  // nothing went in
      ASSERT_EQ(by_bytes, by_dom);
      ASSERT_TRUE(bytes_result == dom_result) << "step " << step << " list " << list;
      ASSERT_TRUE(bytes_status == ReadFile(Path("_FOLDER.DAT"))) << "step " << step;
      WriteFile(Path("_index.xml"), bytes_result);
      for (const std::string& id : test::EntryIds(LoadIndex())) {
        if (std::find(indexed.begin(), indexed.end(), id) == indexed.end()) indexed.push_back(id);
      }
    } else if (choice < 8) {
      const std::string& name = indexed[random() % indexed.size()];
      ASSERT_EQ(Direct_StoreIndex_RemoveItem("PO", "box", "Inbox", name.c_str()), 1u);
      indexed.erase(std::find(indexed.begin(), indexed.end(), name));
    } else {
      const char* changes[] = {"+\\SEEN", "-\\RECENT", "\\DELETED \\ANSWERED", "+\\FLAGGED"};
      const std::string& name = indexed[random() % indexed.size()];
      ASSERT_EQ(Direct_StoreIndex_UpdateItem("PO", "box", "Inbox", name.c_str(), changes[random() % 4]), 1u);
    }
  }
  EXPECT_GT(spliced, size_t{kSteps} / 3);  // most deliveries took the byte path
}

// A delivery keeps the outline of the file it wrote; it must be the outline
// of that very text (or the next delivery splices at the wrong places), and
// an edit in place by another writer, same size and times restored, must
// keep the next delivery from using it.
TEST_F(IndexTextDeliveryTest, AKeptOutlineDescribesTheFileWrittenAndNoFileChangedSince) {
  std::mt19937 random(11);
  const std::string index_path = Path("_index.xml");
  // The outline kept for the index file as it is now, read from its record
  // (as another process reads it) and as this process answers; the two agree.
  const auto kept_outline = [&]() -> std::optional<IndexOutline> {
    const platform::File file =
        platform::File::Open(index_path, platform::Access::kRead, platform::Disposition::kOpenExisting);
    std::string native;
    const std::optional<platform::FileVersion> identity = platform::IdentifyFile(index_path, &native);
    std::optional<std::string> record = platform::ReadDerivedCache("outline", native, *identity);
    const std::shared_ptr<const IndexOutline> answered = CachedIndexOutline(index_path, file);
    EXPECT_EQ(record.has_value(), answered != nullptr);
    if (!record || !answered) return std::nullopt;
    EXPECT_TRUE(*record == answered->ToBytes());
    return IndexOutline::FromBytes(std::move(*record));
  };
  // Another writer's same-length edit in place, its modification time put back.
  const auto edit_in_place = [&](std::string_view from, std::string_view to) {
    std::string text = IndexFile();
    const size_t at = text.find(from);
    if (at == std::string::npos) return false;
    text.replace(at, from.size(), to);
    platform::FileTimes times;
    EXPECT_TRUE(platform::GetFileTimes(index_path, &times));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));  // past a coarse clock's tick
    platform::File file =
        platform::File::Open(index_path, platform::Access::kWrite, platform::Disposition::kOpenExisting);
    EXPECT_TRUE(file.valid() && file.Write(text));
    file.Close();
    EXPECT_TRUE(platform::SetFileTimes(index_path, times));
    return true;
  };

  Put("first.MAI", test::MessageText("first"));
  ASSERT_EQ(Direct_StoreIndex_InsertItem("PO", "box", "Inbox", "first.MAI"), 1u);  // the index made
  size_t kept = 0;
  for (int step = 0; step < 240; ++step) {
    std::string list;
    for (size_t i = 0, count = 1 + random() % 3; i < count; ++i) {
      std::string name = (random() % 2 ? "m" : "M") + std::to_string(random() % 5000) + ".MAI";
      if (random() % 12 != 0) Put(name, test::MessageText("subject " + std::to_string(step)));
      list += (list.empty() ? "" : ",") + name;
    }
    ASSERT_EQ(Direct_StoreIndex_InsertItemEx("PO", "box", "Inbox", list.c_str(),
                                             random() % 4 == 0 ? "\\SEEN" : nullptr),
              1u);
    const std::string text = IndexFile();
    const std::optional<IndexText> recognised = RecogniseIndexText(text);
    ASSERT_TRUE(recognised) << "step " << step;
    std::array<uint32_t, kFolderStatusFields> status{};
    ComputeFolderStatus(LoadIndex(), status);
    ASSERT_EQ(ReadFile(Path("_FOLDER.DAT")),
              std::string(reinterpret_cast<const char*>(status.data()), kFolderStatusSize))
        << "step " << step;
    if (const std::optional<IndexOutline> outline = kept_outline()) {
      ++kept;
      ASSERT_TRUE(outline->ToBytes() == IndexOutline::Of(*recognised).ToBytes()) << "step " << step;
    }
    if (step % 20 == 19) {
      const bool edited = step % 40 == 19 ? edit_in_place("\\RECENT<", "\\SEEN  <")
                                          : edit_in_place("<FLAGSTATUS>\\SEEN", "<FLAGSTATUS>\\NEES");
      ASSERT_TRUE(edited) << "step " << step;
      ASSERT_FALSE(kept_outline()) << "step " << step;
    }
  }
  EXPECT_GT(kept, 200u);  // nearly every delivery kept its outline for the next one
}

}  // namespace
}  // namespace qx
