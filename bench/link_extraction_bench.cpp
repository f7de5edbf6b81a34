// Link extraction throughput in MB/s: on two large generated pages and on the largest
// HTML pages found on this machine (under /usr/share/doc, or the folders given as
// arguments), next to a baseline measured in the same run on the same file: `grep -oE` of
// the href and src values (LC_ALL=C, counted by wc), which resolves and classifies nothing
// but reads the same bytes. "links" is what the scan added to the page, "grep" the values
// grep printed. The ratio is ours over grep's; the goal is at least 100 MB/s.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "transfer/file_ops.h"
#include "fakes/fake_file_types.h"
#include "fakes/fake_files.h"
#include "fakes/fake_ids.h"
#include "fakes/fake_text_rules.h"
#include "site/link_extractor.h"
#include "site/page_registry.h"
#include "url/address.h"

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// A large archive page, shaped as big real pages are: navigation repeated in every
// section, articles of a few hundred words with a thumbnail inside a link and links of
// their own, inline images, scripts and styles. About one new address per 500 bytes.
std::string archivePage(size_t wanted) {
  std::mt19937 random(5);
  std::string page =
      "<html><head><title>Generated archive</title>\n"
      "<meta http-equiv=\"refresh\" content=\"600; URL=/archive/\">\n"
      "<link rel=stylesheet href=\"/css/site.css\"><script src=\"/js/site.js\"></script>\n"
      "</head><body background=\"/img/paper.gif\">\n";
  const char* words[] = {"the",   "archive", "holds", "every", "issue", "of",    "a",   "journal",
                         "since", "its",     "first", "year",  "with",  "notes", "and", "pictures"};
  for (int section = 0; page.size() < wanted; ++section) {
    const std::string s = std::to_string(section);
    page +=
        "<div class=\"nav\"><a href=\"/\">Home</a> | <a href=\"/archive/\">Archive</a> | "
        "<a href=\"/about.htm\">About</a> | <a href=\"mailto:editor@example.com\">Mail</a>"
        "</div>\n<h2 id=\"s" +
        s + "\">Section " + s + "</h2>\n";
    for (int article = 0; article < 8; ++article) {
      const std::string id = s + "-" + std::to_string(article);
      page += "<p class=\"entry\"><a href=\"/issues/" + id + "/photo.jpg\"><img src=\"/issues/" +
              id + "/thumb.jpg\" width=80 height=60 alt=\"Photo " + id + "\"></a>\n";
      for (int w = 0; w < 300; ++w) {
        page += words[random() % 16];
        page += w % 60 == 59 ? '\n' : ' ';
      }
      page += "<a href=\"/issues/" + id + "/index.htm\" title=\"Issue " + id + "\">read on</a>, " +
              "or see <a href=\"/archive/#s" + s + "\">the section</a>.</p>\n";
      if (article % 4 == 0) page += "<img src=\"/img/rule.gif\" alt=\"\">\n";
    }
  }
  return page + "</body></html>\n";
}

// A folder listing: nothing but rows of new addresses, one per hundred-odd bytes. Each
// new address costs its resolution and its place in the registry, whatever the scan does.
std::string listingPage(size_t wanted) {
  std::string page = "<html><head><title>Index of /files/</title></head><body><table>\n";
  for (int row = 0; page.size() < wanted; ++row) {
    const std::string name = "file" + std::to_string(row) + ".zip";
    page += "<tr><td><a href=\"" + name + "\">" + name +
            "</a></td><td align=\"right\">12-Mar-2024 10:00</td><td align=\"right\">1.2M</td>"
            "</tr>\n";
  }
  return page + "</table></body></html>\n";
}

struct Outcome {
  double seconds = 0;
  size_t links = 0;
};

// The best of a few runs, each into a fresh registry, as one page scan would be.
Outcome timeExtraction(const std::string& bytes, int runs) {
  FakeTextRules rules;
  ByteText text(rules);
  FakeFileTypes types;
  AddressParser parser(text, types);
  FakeFiles files;
  FakeIds ids;
  FileOps fileOps(files, ids, text);
  Outcome best;
  best.seconds = 1e30;
  for (int run = 0; run < runs; ++run) {
    PageRegistry registry(text);
    LinkExtractor extractor(text, parser, registry, fileOps);
    SitePage* page =
        registry.findOrAddPage(parser.parseAddress("http://bench.example/dir/page.htm"));
    const auto start = Clock::now();
    extractor.extractLinks(*page, reinterpret_cast<const unsigned char*>(bytes.data()),
                           static_cast<int64_t>(bytes.size()));
    const double spent = secondsSince(start);
    if (spent < best.seconds) best = {spent, page->linkCount};
  }
  return best;
}

// The baseline: every href and src value, written to a pipe (grep stops at the first
// match when its output is /dev/null).
struct Baseline {
  double seconds = -1;
  size_t matches = 0;
};
Baseline timeGrep(const std::string& path, int runs) {
  const std::string command = "LC_ALL=C grep -oE '(href|src)=\"[^\"]*\"' '" + path + "' | wc -l";
  Baseline best;
  for (int run = 0; run < runs; ++run) {
    const auto start = Clock::now();
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return {};
    unsigned long matches = 0;
    if (std::fscanf(pipe, "%lu", &matches) != 1) matches = 0;
    if (pclose(pipe) != 0) return {};
    const double spent = secondsSince(start);
    if (best.seconds < 0 || spent < best.seconds) best = {spent, matches};
  }
  return best;
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<std::filesystem::path> largestPages(const std::vector<std::string>& roots,
                                                size_t count) {
  std::vector<std::pair<uintmax_t, std::filesystem::path>> found;
  for (const std::string& root : roots) {
    std::error_code error;
    auto options = std::filesystem::directory_options::skip_permission_denied;
    for (std::filesystem::recursive_directory_iterator it(root, options, error), end; it != end;
         it.increment(error)) {
      if (error) break;
      if (!it->is_regular_file(error) || it->is_symlink(error)) continue;
      const std::string extension = it->path().extension().string();
      if (extension != ".html" && extension != ".htm") continue;
      found.emplace_back(it->file_size(error), it->path());
    }
  }
  std::sort(found.rbegin(), found.rend());
  std::vector<std::filesystem::path> paths;
  for (size_t i = 0; i < found.size() && paths.size() < count; ++i)
    paths.push_back(found[i].second);
  return paths;
}

void report(const std::string& name, const std::string& path, const std::string& bytes) {
  const double megabytes = static_cast<double>(bytes.size()) / 1e6;
  const int runs = bytes.size() > 20'000'000 ? 3 : 7;
  const Outcome ours = timeExtraction(bytes, runs);
  const Baseline grep = timeGrep(path, runs);
  const double oursRate = megabytes / ours.seconds;
  const double grepRate = grep.seconds > 0 ? megabytes / grep.seconds : 0;
  std::printf("%-40s %7.2f %8zu %8zu %9.1f %9.1f %6.2f\n", name.c_str(), megabytes, ours.links,
              grep.matches, oursRate, grepRate, grepRate > 0 ? oursRate / grepRate : 0.0);
}

void reportGenerated(const std::string& name, const std::string& bytes) {
  const std::filesystem::path scratch =
      std::filesystem::temp_directory_path() / "haulix_link_extraction_bench.html";
  {
    std::ofstream out(scratch, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  }
  report(name, scratch.string(), bytes);
  std::filesystem::remove(scratch);
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> roots;
  for (int i = 1; i < argc; ++i) roots.emplace_back(argv[i]);
  if (roots.empty()) roots.emplace_back("/usr/share/doc");

  std::printf("%-40s %7s %8s %8s %9s %9s %6s\n", "page", "MB", "links", "grep", "ours MB/s",
              "grep MB/s", "ratio");
  reportGenerated("generated archive page", archivePage(64u << 20));
  reportGenerated("generated folder listing", listingPage(16u << 20));
  for (const auto& path : largestPages(roots, 5)) {
    std::string name = path.string();
    if (name.size() > 40) name = "..." + name.substr(name.size() - 37);
    report(name, path.string(), readFile(path.string()));
  }
  return 0;
}
