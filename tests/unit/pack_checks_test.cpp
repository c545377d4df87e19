// The checks behind packing and unpacking folder trees: every entry of a pack
// judged against the folder and the pack's own earlier entries before anything
// is written, and the links of a folder being packed.
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "builtins/pack_checks.h"
#include "test_support.h"

namespace fs = std::filesystem;

namespace velk {
namespace {

using builtins::checkPackedLinks;
using builtins::checkUnpack;
using testing::listOf;
using testing::str;

class PackChecksTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = fs::current_path();
    base_ = fs::canonical(fs::temp_directory_path()) /
            ("velk-pack-" + std::to_string(::getpid()) + "-" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(base_);
    fs::create_directories(base_ / "here");
    fs::current_path(base_ / "here");
  }
  void TearDown() override {
    fs::current_path(saved_);
    fs::remove_all(base_);
  }
  static void touch(const fs::path& p) { std::ofstream(p) << "x"; }
  // The files and folders below the current folder, to see that a check
  // wrote nothing.
  static size_t entriesHere() {
    size_t n = 0;
    for (auto it = fs::recursive_directory_iterator("."); it != fs::recursive_directory_iterator(); ++it) ++n;
    return n;
  }

  fs::path saved_;
  fs::path base_;
};

// A pack of (path, content) pairs; a content that is a list is a nested pack.
Value pack(std::initializer_list<std::pair<const char*, Value>> entries) {
  Value paths = listOf({});
  Value contents = listOf({});
  for (const auto& [path, content] : entries) {
    paths.elements.push(newValue(str(path)));
    contents.elements.push(newValue(content));
  }
  return listOf({paths, contents});
}

Value file() { return str("104 105"); }

// The detail of the refusal, or "" when the pack is accepted.
std::string refusal(std::string_view root, const Value& p) {
  try {
    checkUnpack(root, p);
    return "";
  } catch (const VelkError& e) {
    EXPECT_STREQ(e.what(), "refusing to unpack");
    return e.detail();
  }
}

TEST_F(PackChecksTest, GoodPacksPassAndNothingIsWritten) {
  Value tree = pack({{"./a.txt", file()},
                     {"./sub", pack({{"./sub/b.txt", file()}, {"./sub/deeper", pack({{"./sub/deeper/c", file()}})}})},
                     {"./empty", pack({})}});
  EXPECT_EQ(refusal("", tree), "");
  EXPECT_EQ(entriesHere(), 0u);
  // Paths without "./", with doubled or trailing slashes, name the same places.
  EXPECT_EQ(refusal("", pack({{"d//", pack({{"d/./x", file()}})}})), "");
  // What exists already may be replaced: a file by a file, a folder kept.
  touch("a.txt");
  fs::create_directory("sub");
  EXPECT_EQ(refusal("", tree), "");
  // Contents that are neither list nor string are not written, so not checked.
  EXPECT_EQ(refusal("", pack({{"../never", Value::integer(5)}})), "");
}

TEST_F(PackChecksTest, PathsLeadingOutAreRefusedByName) {
  EXPECT_EQ(refusal("", pack({{"./a", file()}, {"../escape.txt", file()}})),
            "the entry `../escape.txt` has a .. component");
  EXPECT_EQ(refusal("", pack({{"a/../../x", file()}})), "the entry `a/../../x` has a .. component");
  EXPECT_EQ(refusal("", pack({{"/etc/passwd", file()}})), "the entry `/etc/passwd` is an absolute path");
  EXPECT_EQ(refusal("", pack({{"./", pack({})}})), "the entry `./` names no file inside the folder being unpacked");
  EXPECT_EQ(refusal("", pack({{"", file()}})), "the entry `` names no file inside the folder being unpacked");
  // Found at any depth, before the first entry is written.
  EXPECT_EQ(refusal("", pack({{"./ok", pack({{"./ok/../../x", file()}})}})),
            "the entry `./ok/../../x` has a .. component");
  EXPECT_EQ(entriesHere(), 0u);
}

TEST_F(PackChecksTest, LibIsOffLimitsUnlessItIsTheFolderUnpacked) {
  EXPECT_EQ(refusal("", pack({{"./lib/math.VELK", file()}})), "the entry `./lib/math.VELK` lies in the lib folder");
  EXPECT_EQ(refusal("", pack({{"lib", pack({})}})), "the entry `lib` lies in the lib folder");
  EXPECT_EQ(refusal("lib", pack({{"math.VELK", file()}})), "");
  // Only the lib folder that `also` reads counts.
  EXPECT_EQ(refusal("", pack({{"./sub", pack({{"./sub/lib", pack({})}})}})), "");
  EXPECT_EQ(refusal("", pack({{"./library.txt", file()}})), "");
}

TEST_F(PackChecksTest, LinksAreNeverWrittenThrough) {
  fs::create_directory(base_ / "elsewhere");
  fs::create_directory_symlink(base_ / "elsewhere", "linked");
  fs::create_symlink("../victim.txt", "out.txt");
  EXPECT_EQ(refusal("", pack({{"./out.txt", file()}})), "the entry `./out.txt` is a link, and unpacking writes through none");
  EXPECT_EQ(refusal("", pack({{"./linked/x", file()}})), "the entry `./linked/x` goes through the link `./linked`");
  EXPECT_EQ(refusal("", pack({{"./linked", pack({})}})), "the entry `./linked` is a link, and unpacking writes through none");
  EXPECT_EQ(refusal("linked", pack({{"x", file()}})), "the folder `linked` to unpack into is a link");
}

TEST_F(PackChecksTest, EntriesMustFitWhatIsThereAndEachOther) {
  EXPECT_EQ(refusal("", pack({{"./a", file()}, {"a", file()}})), "the entry `a` names the same path as the entry `./a`");
  EXPECT_EQ(refusal("", pack({{"./a", file()}, {"./a/b", file()}})), "the entry `./a/b` goes into `./a`, a file of the pack");
  EXPECT_EQ(refusal("", pack({{"./nope/b", file()}})),
            "the entry `./nope/b` goes into `./nope`, which neither exists nor is made before it");
  // A folder made by an earlier entry, at any level, is there for later ones.
  EXPECT_EQ(refusal("", pack({{"./d", pack({})}, {"./d/b", file()}})), "");
  EXPECT_EQ(refusal("", pack({{"./d", pack({})}, {"./d/e/f", file()}})),
            "the entry `./d/e/f` goes into `./d/e`, which neither exists nor is made before it");
  touch("plain");
  fs::create_directory("folder");
  ASSERT_EQ(::mkfifo("pipe", 0600), 0);
  EXPECT_EQ(refusal("", pack({{"./plain/x", file()}})), "the entry `./plain/x` goes into `./plain`, which is not a folder");
  EXPECT_EQ(refusal("", pack({{"./plain", pack({})}})), "the entry `./plain` is a folder of the pack but not a folder on disk");
  EXPECT_EQ(refusal("", pack({{"./folder", file()}})), "the entry `./folder` is a file of the pack but a folder on disk");
  EXPECT_EQ(refusal("", pack({{"./pipe", file()}})), "the entry `./pipe` exists and is not a regular file");
}

TEST_F(PackChecksTest, MalformedPacksAreRefused) {
  EXPECT_EQ(refusal("", str("(\"./a\")")), "a pack is a list of two lists, the paths and their contents");
  EXPECT_EQ(refusal("", listOf({listOf({str("./a")})})), "a pack is a list of two lists, the paths and their contents");
  EXPECT_EQ(refusal("", listOf({listOf({str("./a"), str("./b")}), listOf({file()})})), "the entry `./b` has no content");
  // A pack that holds itself repeats its own entries.
  ValueRef self = newValue(pack({}));
  Value& p = *self;
  Value paths = listOf({str("./loop")});
  Value contents;
  contents.typeName = kList;
  contents.elements.push(self);
  p.elements = listOf({paths, contents}).elements;
  EXPECT_EQ(refusal("", p), "the entry `./loop` names the same path as the entry `./loop`");
  p.elements = Elements();  // break the cycle
}

TEST_F(PackChecksTest, AMissingRootTakesEntriesThatItWillHold) {
  EXPECT_EQ(refusal("lib", pack({{"dict.VELK", file()}, {"math.VELK", file()}})), "");
  EXPECT_EQ(refusal("lib", pack({{"sub/x", file()}})),
            "the entry `sub/x` goes into `sub`, which neither exists nor is made before it");
  EXPECT_EQ(refusal("/tmp", pack({})), "the folder `/tmp` to unpack into is an absolute path");
  EXPECT_EQ(refusal("../up", pack({})), "the folder `../up` to unpack into has a .. component");
}

// The detail of a refused folder, or "" with the names when it is accepted.
std::string packRefusal(const std::string& folder) {
  try {
    PackingWalk walk;
    checkPackedLinks(folder, walk);
    return "";
  } catch (const VelkError& e) {
    EXPECT_STREQ(e.what(), "refusing to pack");
    return e.detail();
  }
}

TEST_F(PackChecksTest, PackingFollowsOnlyLinksThatStayInside) {
  fs::create_directories("tree/dir");
  touch("tree/real.txt");
  touch(base_ / "secret.txt");
  fs::create_symlink("real.txt", "tree/alias.txt");
  fs::create_symlink("dir", "tree/other");
  fs::create_symlink(fs::current_path() / "tree/real.txt", "tree/absolute");
  EXPECT_EQ(packRefusal("./tree"), "");
  PackingWalk walk;
  std::vector<std::string> names = checkPackedLinks("./tree", walk);
  EXPECT_EQ(names.size(), 5u);

  fs::create_symlink("../../../secret.txt", "tree/dir/leak");
  EXPECT_EQ(packRefusal("./tree/dir"),
            "the link `./tree/dir/leak` to `../../../secret.txt` leads outside the folder being packed");
  fs::remove("tree/dir/leak");
  fs::create_symlink("gone", "tree/dir/dead");
  EXPECT_EQ(packRefusal("./tree/dir"), "the link `./tree/dir/dead` to `gone` leads nowhere (No such file or directory)");
  fs::remove("tree/dir/dead");
  fs::create_symlink("..", "tree/dir/up");
  EXPECT_EQ(packRefusal("./tree/dir"), "the link `./tree/dir/up` to `..` leads back to a folder that holds it");
  // Reached through a link, the folders on the way are the real ones.
  EXPECT_EQ(packRefusal("./tree/other"), "the link `./tree/other/up` to `..` leads back to a folder that holds it");
}

}  // namespace
}  // namespace velk
