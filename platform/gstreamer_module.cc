// The host's GStreamer through korvane-gstreamer.so, loaded with dlopen the first time a
// view asks for it: GStreamer, GLib and their registry stay out of every other command.
// A GStreamer built for another view than korvane's own cannot be loaded into this
// process; it is only looked for, so that the answer can say whether the view has one.
#include "platform/gstreamer_module.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>

#include "platform/module_files.h"

namespace korvane {
namespace {

constexpr char kModuleFile[] = "korvane-gstreamer.so";
constexpr char kLibraryFile[] = "libgstreamer-1.0.so.0";
constexpr int kOwnBits = static_cast<int>(sizeof(void*) * 8);

struct LoadedModule {
  GstreamerEntry entry = nullptr;
  std::string whyNot;
};

LoadedModule LoadModule() {
  const std::vector<std::string> candidates = ModuleCandidates(kModuleFile);
  for (const std::string& file : candidates) {
    if (access(file.c_str(), F_OK) != 0) continue;
    // Never closed: GStreamer cannot be shut down and started again in one process.
    void* module = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (module == nullptr) return {nullptr, LastLoaderError()};
    void* entry = dlsym(module, kGstreamerEntry);
    if (entry == nullptr) return {nullptr, LastLoaderError()};
    return {reinterpret_cast<GstreamerEntry>(entry), ""};
  }
  return {nullptr, candidates.back() + " is missing"};
}

// 32 or 64 from an ELF file's header, 0 when the file is not one.
int ElfBits(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  char head[5] = {};
  if (!file.read(head, sizeof head)) return 0;
  if (std::string(head, 4) != "\177ELF") return 0;
  return head[4] == 1 ? 32 : head[4] == 2 ? 64 : 0;
}

std::string JoinFolders(const std::vector<std::string>& folders) {
  std::string text;
  for (const std::string& folder : folders) text += (text.empty() ? "" : ", ") + folder;
  return text;
}

std::string ViewName(int bits) { return std::to_string(bits) + "-bit"; }

}  // namespace

const std::vector<std::string> kHostLibraryFolders = {
    "/usr/lib/i386-linux-gnu", "/usr/lib/x86_64-linux-gnu", "/usr/lib32", "/usr/lib64", "/usr/lib"};

std::string FindGstreamerLibrary(int bits, const std::vector<std::string>& folders) {
  for (const std::string& folder : folders) {
    const std::string path = folder + "/" + kLibraryFile;
    if (ElfBits(path) == bits) return path;
  }
  return "";
}

std::unique_ptr<GstreamerHost> OpenGstreamerOfView(int viewBits,
                                                   const std::vector<std::string>& folders,
                                                   std::string* whyNot) {
  std::string reason;
  if (viewBits != 32 && viewBits != 64) {
    reason = "a view has 32 or 64 bits, not " + std::to_string(viewBits);
  } else if (viewBits != kOwnBits) {
    const std::string library = FindGstreamerLibrary(viewBits, folders);
    reason = library.empty()
                 ? "the " + ViewName(viewBits) + " Wine has no GStreamer here (no " +
                       ViewName(viewBits) + " " + kLibraryFile + " in " + JoinFolders(folders) + ")"
                 : "the " + ViewName(viewBits) + " Wine has the GStreamer of " + library +
                       ", which a " + ViewName(kOwnBits) + " korvane cannot load to ask";
  } else {
    static const LoadedModule module = LoadModule();
    if (module.entry == nullptr) {
      reason = std::string("asking the host's GStreamer needs ") + kModuleFile +
               " and GStreamer (" + module.whyNot + ")";
    } else {
      std::unique_ptr<GstreamerHost> host(module.entry(&reason));
      if (host) return host;
    }
  }
  if (whyNot) *whyNot = reason;
  return nullptr;
}

std::unique_ptr<GstreamerHost> OpenHostGstreamer(int viewBits, std::string* whyNot) {
  return OpenGstreamerOfView(viewBits, kHostLibraryFolders, whyNot);
}

}  // namespace korvane
