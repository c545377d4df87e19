// Reading to the end of a descriptor, and CR LF line ends.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <thread>

#include "test_support.h"
#include "support/whole_read.h"

namespace velk {
namespace {

std::string dropped(std::string text) {
  dropCarriageReturnsBeforeLineFeeds(text);
  return text;
}

TEST(LineEnds, DropsOnlyTheCarriageReturnRightBeforeALineFeed) {
  EXPECT_EQ(dropped("a\r\nb\r\n"), "a\nb\n");
  EXPECT_EQ(dropped("a\r\r\n"), "a\r\n");         // one CR per line end
  EXPECT_EQ(dropped("a\rb\n"), "a\rb\n");         // a lone CR stays
  EXPECT_EQ(dropped("a\r"), "a\r");               // no line feed follows
  EXPECT_EQ(dropped("\r\n\r\n"), "\n\n");
  EXPECT_EQ(dropped("\n\r"), "\n\r");
  EXPECT_EQ(dropped(""), "");
  EXPECT_EQ(dropped(std::string("\0\r\n\0", 4)), std::string("\0\n\0", 3));
}

// A pipe reports no size: everything written to it comes back, across many
// reads, however the writes are cut.
TEST(ReadToEnd, ReadsAPipeToItsEnd) {
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  std::string sent;
  for (int i = 0; i < 300000; ++i) sent += static_cast<char>('a' + i % 26);
  std::thread writer([&] {
    std::string_view rest = sent;
    while (!rest.empty()) {
      ssize_t n = ::write(fds[1], rest.data(), std::min<size_t>(rest.size(), 7001));
      if (n <= 0) break;
      rest.remove_prefix(static_cast<size_t>(n));
    }
    ::close(fds[1]);
  });
  std::string got = "kept:";
  EXPECT_EQ(readToEnd(fds[0], got), 0);
  writer.join();
  ::close(fds[0]);
  EXPECT_EQ(got, "kept:" + sent);
}

TEST(ReadToEnd, ReportsAFailedReadWithWhatCameBefore) {
  int fd = ::open(".", O_RDONLY);
  ASSERT_GE(fd, 0);
  std::string got = "before";
  EXPECT_EQ(readToEnd(fd, got), EISDIR);
  EXPECT_EQ(got, "before");
  ::close(fd);
  EXPECT_EQ(readToEnd(fd, got), EBADF);  // a closed descriptor
}

TEST(ReadToEnd, ReadsARegularFileWhateverItsSize) {
  char name[] = "/tmp/velk-whole-read-XXXXXX";
  int fd = ::mkstemp(name);
  ASSERT_GE(fd, 0);
  ::unlink(name);
  std::string data(200001, 'x');
  ASSERT_EQ(::write(fd, data.data(), data.size()), static_cast<ssize_t>(data.size()));
  ASSERT_EQ(::lseek(fd, 1, SEEK_SET), 1);  // from where the descriptor stands
  std::string got;
  EXPECT_EQ(readToEnd(fd, got), 0);
  EXPECT_EQ(got.size(), data.size() - 1);
  ::close(fd);
}

TEST(FailureText, NamesMemoryInTheLanguagesOwnWords) {
  EXPECT_EQ(describeFailure(ENOMEM), "out of memory");
  EXPECT_EQ(describeFailure(ENOSPC), "No space left on device");
}

}  // namespace
}  // namespace velk
