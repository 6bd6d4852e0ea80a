// Drive C: inside a disk image: listings, descriptions and reads through The Sleuth Kit.
#include "platform/offline/drives/image_drive.h"

#include <sys/mman.h>
#include <tsk/libtsk.h>
#include <unistd.h>

#include <algorithm>
#include <ctime>

#include "platform/ascii.h"
#include "platform/byte_reader.h"
#include "platform/memory_registry.h"
#include "platform/wildcard.h"

namespace korvane {

namespace {

struct ImageCloser {
  void operator()(TSK_IMG_INFO* image) const { tsk_img_close(image); }
};
struct VolumeCloser {
  void operator()(TSK_VS_INFO* volumes) const { tsk_vs_close(volumes); }
};
struct FileCloser {
  void operator()(TSK_FS_FILE* file) const { tsk_fs_file_close(file); }
};
struct DirCloser {
  void operator()(TSK_FS_DIR* dir) const { tsk_fs_dir_close(dir); }
};
using File = std::unique_ptr<TSK_FS_FILE, FileCloser>;
using Dir = std::unique_ptr<TSK_FS_DIR, DirCloser>;

// What The Sleuth Kit said last, on one line.
std::string TskError() {
  const char* text = tsk_error_get();
  std::string message = text != nullptr ? text : "unknown error";
  tsk_error_reset();
  std::replace(message.begin(), message.end(), '\n', ' ');
  while (!message.empty() && message.back() == ' ') message.pop_back();
  return message;
}

constexpr uint64_t kReadChunk = 1 << 20;

// An NTFS file's own attributes, those of its $STANDARD_INFORMATION (hidden and system
// among them, which The Sleuth Kit's generic metadata does not carry).
std::optional<uint32_t> NtfsAttributes(TSK_FS_FILE* file) {
  constexpr size_t kFlagsAt = 32;  // after the four times
  const TSK_FS_ATTR* info = tsk_fs_file_attr_get_type(file, TSK_FS_ATTR_TYPE_NTFS_SI, 0, 0);
  if (info == nullptr || (info->flags & TSK_FS_ATTR_RES) == 0 || info->rd.buf == nullptr ||
      info->rd.buf_size < kFlagsAt + 4 || info->size < static_cast<TSK_OFF_T>(kFlagsAt + 4)) {
    tsk_error_reset();
    return std::nullopt;
  }
  return ByteReader(info->rd.buf, info->rd.buf_size).U32At(kFlagsAt);
}

}  // namespace

class ImageFileSystem {
 public:
  ImageFileSystem(std::shared_ptr<TSK_IMG_INFO> image, TSK_FS_INFO* fs)
      : image_(std::move(image)), fs_(fs) {}
  ~ImageFileSystem() { tsk_fs_close(fs_); }
  TSK_FS_INFO* fs() const { return fs_; }
  bool fat() const { return TSK_FS_TYPE_ISFAT(fs_->ftype) != 0; }

 private:
  std::shared_ptr<TSK_IMG_INFO> image_;
  TSK_FS_INFO* fs_;
};

std::optional<std::vector<ImagePartition>> OpenImagePartitions(const std::string& path,
                                                               std::string* error) {
  tsk_error_reset();
  std::shared_ptr<TSK_IMG_INFO> image(tsk_img_open_utf8_sing(path.c_str(), TSK_IMG_TYPE_DETECT, 0),
                                      ImageCloser());
  if (!image) {
    *error = path + ": not a disk image that can be read (" + TskError() + ")";
    return std::nullopt;
  }
  if (image->size < 512) {
    *error = path + ": not a disk image (" + std::to_string(image->size) +
             " bytes, less than one sector)";
    return std::nullopt;
  }
  std::vector<ImagePartition> partitions;
  auto openAt = [&image](TSK_OFF_T offset, ImagePartition* partition) {
    // Only the file systems Windows installs on are tried: The Sleuth Kit's detection of
    // every kind reads the whole image (its YAFFS2 probe scans it to the end).
    TSK_FS_INFO* fs = nullptr;
    std::string why;
    for (const TSK_FS_TYPE_ENUM type : {TSK_FS_TYPE_FAT_DETECT, TSK_FS_TYPE_NTFS_DETECT}) {
      tsk_error_reset();
      fs = tsk_fs_open_img(image.get(), offset, type);
      if (fs != nullptr) break;
      if (why.empty()) why = TskError();
    }
    tsk_error_reset();
    if (fs == nullptr) {
      partition->whyNoFileSystem = "no FAT or NTFS file system that can be read (" + why + ")";
    } else {
      partition->drive = std::make_unique<ImageDrive>(std::make_shared<ImageFileSystem>(image, fs));
    }
  };
  std::unique_ptr<TSK_VS_INFO, VolumeCloser> volumes(
      tsk_vs_open(image.get(), 0, TSK_VS_TYPE_DETECT));
  tsk_error_reset();
  if (!volumes) {
    ImagePartition whole;
    whole.description = "the whole image";
    openAt(0, &whole);
    partitions.push_back(std::move(whole));
    return partitions;
  }
  int number = 0;
  for (TSK_PNUM_T i = 0; i < volumes->part_count; ++i) {
    const TSK_VS_PART_INFO* part = tsk_vs_part_get(volumes.get(), i);
    if (part == nullptr || (part->flags & TSK_VS_PART_FLAG_ALLOC) == 0) continue;
    ImagePartition partition;
    partition.number = ++number;
    partition.description = part->desc != nullptr ? part->desc : "";
    const TSK_OFF_T start = static_cast<TSK_OFF_T>(part->start) * volumes->block_size;
    const TSK_OFF_T length = static_cast<TSK_OFF_T>(part->len) * volumes->block_size;
    if (start < 0 || length <= 0 || start + length > image->size) {
      partition.whyNoFileSystem = "it reaches past the end of the image";
    } else {
      openAt(start, &partition);
    }
    partitions.push_back(std::move(partition));
  }
  return partitions;
}

ImageDrive::ImageDrive(std::shared_ptr<ImageFileSystem> fileSystem) : fs_(std::move(fileSystem)) {}
ImageDrive::~ImageDrive() = default;

void ImageDrive::SetCodePages(const FileNameCodePages& pages) {
  if (pages.ansi == pages_.ansi && pages.oem == pages_.oem) return;
  pages_ = pages;
  listings_.clear();  // read with the names of other code pages
}

// The directory entry at a FAT metadata address, when it is the one The Sleuth Kit
// named: its slot is found by the boot sector's layout, and a slot that does not hold the
// name given is not trusted.
std::optional<std::string> ImageDrive::ShortEntry(uint64_t metaAddress,
                                                  const std::string& givenName) {
  if (!bootSector_) {
    std::string boot(512, '\0');
    const ssize_t got = tsk_fs_read(fs_->fs(), 0, &boot[0], boot.size());
    tsk_error_reset();
    if (got != static_cast<ssize_t>(boot.size())) boot.clear();
    bootSector_ = boot;
  }
  const auto offset = FatEntryOffset(*bootSector_, metaAddress);
  if (!offset || *offset > static_cast<uint64_t>(INT64_MAX)) return std::nullopt;
  std::string entry(kFatEntrySize, '\0');
  const ssize_t got =
      tsk_fs_read(fs_->fs(), static_cast<TSK_OFF_T>(*offset), &entry[0], entry.size());
  tsk_error_reset();
  if (got != static_cast<ssize_t>(entry.size()) || !ShortEntryMatches(entry, givenName)) {
    return std::nullopt;
  }
  return entry;
}

std::string ImageDrive::AnsiName(const std::string& given, bool hasShortName,
                                 uint64_t metaAddress) {
  // The Sleuth Kit gives a FAT entry's long name with its short name beside it, and a
  // short name alone in place of the name, its bytes beyond ASCII replaced: those are
  // read from the entry itself, in the OEM code page.
  if (fs_->fat() && !hasShortName) {
    if (const auto entry = ShortEntry(metaAddress, given))
      return AnsiFromShortEntry(*entry, pages_);
    return given;
  }
  return Utf8ToAnsi(given, pages_.ansi);
}

const std::vector<ImageDrive::Entry>* ImageDrive::Listing(const std::string& folder) {
  const auto found = listings_.find(folder);
  if (found != listings_.end()) return &found->second;
  tsk_error_reset();
  Dir dir(tsk_fs_dir_open(fs_->fs(), folder.c_str()));
  if (!dir) {
    tsk_error_reset();
    return nullptr;
  }
  std::vector<Entry> entries;
  const bool root = folder == "/";
  for (size_t i = 0; i < tsk_fs_dir_getsize(dir.get()); ++i) {
    const TSK_FS_NAME* name = tsk_fs_dir_get_name(dir.get(), i);
    if (name == nullptr || name->name == nullptr || (name->flags & TSK_FS_NAME_FLAG_ALLOC) == 0)
      continue;
    const std::string text = name->name;
    if (text.empty() || text == "." || text == "..") continue;
    if (name->type != TSK_FS_NAME_TYPE_DIR && name->type != TSK_FS_NAME_TYPE_REG) continue;
    // The file systems' own files ($MFT, $OrphanFiles, ...) are not listed by Windows.
    if (root && text[0] == '$') continue;
    const bool hasShortName = name->shrt_name != nullptr && name->shrt_name[0] != '\0';
    const std::string ansi = AnsiName(text, hasShortName, name->meta_addr);
    entries.push_back({ansi, FileNameKey(ansi, pages_.ansi), text, name->meta_addr,
                       name->type == TSK_FS_NAME_TYPE_DIR});
    metaAddresses_[(root ? "/" : folder + "/") + text] = name->meta_addr;
  }
  std::sort(entries.begin(), entries.end(),
            [](const Entry& a, const Entry& b) { return a.key < b.key; });
  return &listings_.emplace(folder, std::move(entries)).first->second;
}

const ImageDrive::Entry* ImageDrive::Lookup(const std::string& folder, const std::string& name) {
  const auto* entries = Listing(folder);
  if (entries == nullptr) return nullptr;
  const std::string key = FileNameKey(name, pages_.ansi);
  const auto it = std::lower_bound(entries->begin(), entries->end(), key,
                                   [](const Entry& e, const std::string& k) { return e.key < k; });
  return it != entries->end() && it->key == key ? &*it : nullptr;
}

std::optional<std::string> ImageDrive::ResolveFolder(const WindowsPath& path, size_t count,
                                                     std::string* whyNot) {
  std::string location = "/";
  std::string shown = std::string(1, path.drive) + ":";
  if (path.drive != 'C') {
    *whyNot = shown + " is not a drive of this machine";
    return std::nullopt;
  }
  for (size_t i = 0; i < count; ++i) {
    const Entry* entry = Lookup(location, path.folders[i]);
    if (entry == nullptr || !entry->folder) {
      *whyNot = (i == 0 ? shown + "\\" : shown) + " has no " + path.folders[i] + " folder";
      return std::nullopt;
    }
    location = (location == "/" ? "/" : location + "/") + entry->diskName;
    shown += "\\" + entry->name;
  }
  return location;
}

std::optional<std::string> ImageDrive::Resolve(const std::string& windowsPath,
                                               std::string* whyNot) {
  const auto split = SplitWindowsPath(windowsPath, whyNot);
  if (!split) return std::nullopt;
  const auto folder = ResolveFolder(*split, split->folders.size(), whyNot);
  if (!folder || split->name.empty()) return folder;
  const Entry* entry = Lookup(*folder, split->name);
  if (entry == nullptr) {
    *whyNot = windowsPath.substr(0, windowsPath.find_last_of("\\/")) + " has no " + split->name;
    return std::nullopt;
  }
  return (*folder == "/" ? "/" : *folder + "/") + entry->diskName;
}

std::vector<FindData> ImageDrive::Find(const std::string& pattern, std::string* whyNot) {
  std::vector<FindData> matches;
  const auto split = SplitSearchPattern(pattern, whyNot);
  if (!split) return matches;
  const auto folder = ResolveFolder(*split, split->folders.size(), whyNot);
  if (!folder) return matches;
  const std::string prefix = *folder == "/" ? "/" : *folder + "/";
  if (!split->folders.empty()) {
    for (const char* dots : {".", ".."}) {
      if (!MatchesWildcard(split->name, dots)) continue;
      if (auto data = Describe(*folder, dots)) matches.push_back(*data);
    }
  }
  // A name without wildcards compares as lookups do, whatever the case of its letters.
  const bool wildcards = HasWildcard(split->name);
  const std::string key = FileNameKey(split->name, pages_.ansi);
  for (const Entry& entry : *Listing(*folder)) {
    if (wildcards ? !MatchesWildcard(split->name, entry.name) : entry.key != key) continue;
    if (auto data = Describe(prefix + entry.diskName, entry.name)) matches.push_back(*data);
  }
  if (matches.empty())
    *whyNot =
        "nothing in " + pattern.substr(0, pattern.find_last_of("\\/")) + " matches " + split->name;
  return matches;
}

std::optional<FindData> ImageDrive::Describe(const std::string& location, const std::string& name) {
  tsk_error_reset();
  const auto known = metaAddresses_.find(location);
  File file(known != metaAddresses_.end() ? tsk_fs_file_open_meta(fs_->fs(), nullptr, known->second)
                                          : tsk_fs_file_open(fs_->fs(), nullptr, location.c_str()));
  if (!file || file->meta == nullptr) {
    tsk_error_reset();
    return std::nullopt;
  }
  const TSK_FS_META* meta = file->meta;
  FindData data;
  data.name = name;
  int64_t seconds = static_cast<int64_t>(meta->mtime);
  if (fs_->fat()) {
    // The Sleuth Kit read the FAT time as the host's local time; take its fields back
    // and read them as the machine's local time instead.
    const time_t host = meta->mtime;
    struct tm fields;
    if (localtime_r(&host, &fields) != nullptr) {
      seconds = static_cast<int64_t>(timegm(&fields)) + int64_t{bias_} * 60;
    }
  }
  data.lastWriteTime = FileTimeFromUnixSeconds(seconds);
  const auto ntfs = fs_->fat() ? std::nullopt : NtfsAttributes(file.get());
  if (meta->type == TSK_FS_META_TYPE_DIR) {
    data.attributes = AttributesFromNtfsFlags(ntfs.value_or(0), true);
  } else {
    // The Sleuth Kit turns FAT's read-only flag into a mode without the read bits and
    // its hidden flag into one without the write bits; the system flag it drops.
    const bool readOnly = (meta->mode & TSK_FS_META_MODE_IRUSR) == 0;
    const bool hidden = (meta->mode & TSK_FS_META_MODE_IWUSR) == 0;
    data.attributes = kFileAttributeArchive | (readOnly ? kFileAttributeReadOnly : 0) |
                      (hidden ? kFileAttributeHidden : 0);
    if (ntfs) data.attributes = AttributesFromNtfsFlags(*ntfs, false);
    const uint64_t size = static_cast<uint64_t>(meta->size);
    data.sizeLow = static_cast<uint32_t>(size);
    data.sizeHigh = static_cast<uint32_t>(size >> 32);
  }
  return data;
}

bool ImageDrive::Read(const std::string& location, size_t limit, std::string* bytes) {
  tsk_error_reset();
  const auto known = metaAddresses_.find(location);
  File file(known != metaAddresses_.end() ? tsk_fs_file_open_meta(fs_->fs(), nullptr, known->second)
                                          : tsk_fs_file_open(fs_->fs(), nullptr, location.c_str()));
  if (!file || file->meta == nullptr || file->meta->size < 0 ||
      static_cast<uint64_t>(file->meta->size) > limit) {
    tsk_error_reset();
    return false;
  }
  const uint64_t size = static_cast<uint64_t>(file->meta->size);
  bytes->assign(size, '\0');
  for (uint64_t done = 0; done < size;) {
    const size_t want = static_cast<size_t>(std::min(kReadChunk, size - done));
    const ssize_t got = tsk_fs_file_read(file.get(), static_cast<TSK_OFF_T>(done), &(*bytes)[done],
                                         want, TSK_FS_FILE_READ_FLAG_NONE);
    if (got <= 0) {
      tsk_error_reset();
      return false;
    }
    done += static_cast<uint64_t>(got);
  }
  return true;
}

std::FILE* ImageDrive::Open(const std::string& location) {
  std::string bytes;
  if (!Read(location, kTextFileLimit, &bytes)) return nullptr;
  const int fd = memfd_create("korvane-image-file", MFD_CLOEXEC);
  if (fd < 0) return nullptr;
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n <= 0) {
      close(fd);
      return nullptr;
    }
    done += static_cast<size_t>(n);
  }
  std::FILE* stream = fdopen(fd, "rb");
  if (stream == nullptr) {
    close(fd);
    return nullptr;
  }
  std::rewind(stream);
  return stream;
}

}  // namespace korvane
