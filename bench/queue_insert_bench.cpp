// Time per insert into the download queue, for 10,000 and 100,000 addresses arriving in
// random and in sorted order. Sorted arrival is the common case (a page's links, a pasted
// list): each insert should then cost a step or two from where the last one stopped.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "download/download_queue.h"
#include "transfer/file_ops.h"
#include "transfer/transfer_engine.h"
#include "fakes/fake_clock.h"
#include "fakes/fake_file_types.h"
#include "fakes/fake_files.h"
#include "fakes/fake_ids.h"
#include "fakes/fake_internet.h"
#include "fakes/fake_text_rules.h"
#include "url/address.h"

namespace {

std::vector<UrlParts> makeAddresses(const AddressParser& parser, int count, bool sorted) {
  std::mt19937 random(7);
  std::vector<std::string> texts;
  for (int i = 0; i < count; ++i)
    texts.push_back("http://host" + std::to_string(random() % 40) + ".example/files/" +
                    std::to_string(random()) + "/file" + std::to_string(i) + ".zip");
  if (sorted) std::sort(texts.begin(), texts.end());
  std::vector<UrlParts> addresses;
  for (const std::string& text : texts) addresses.push_back(parser.parseAddress(text));
  return addresses;
}

double nanosecondsPerInsert(int count, bool sorted) {
  FakeTextRules rules;
  ByteText text(rules);
  FakeFileTypes types;
  AddressParser parser(text, types);
  FakeFiles files;
  FakeIds ids;
  FileOps fileOps(files, ids, text);
  FakeClock clock;
  FakeInternet internet;
  TransferEngine engine(internet, fileOps, ids, clock, [] {});
  std::vector<UrlParts> addresses = makeAddresses(parser, count, sorted);
  DownloadQueue queue(text, parser, engine);
  auto start = std::chrono::steady_clock::now();
  for (const UrlParts& address : addresses) queue.insertItem(address);
  auto spent = std::chrono::steady_clock::now() - start;
  if (queue.size() != addresses.size()) std::printf("lost items!\n");
  return std::chrono::duration<double, std::nano>(spent).count() / count;
}

}  // namespace

int main() {
  std::printf("%-10s %-8s %16s\n", "addresses", "order", "ns per insert");
  for (int count : {10000, 100000})
    for (bool sorted : {true, false})
      std::printf("%-10d %-8s %16.0f\n", count, sorted ? "sorted" : "random",
                  nanosecondsPerInsert(count, sorted));
  return 0;
}
