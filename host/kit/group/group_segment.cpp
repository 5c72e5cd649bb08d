#include "host/kit/group/group_segment.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vex::host::group {

namespace {

constexpr std::size_t kPage = 4096;

std::string systemError(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

bool validScope(const char* scope) {
    if (scope == nullptr || *scope == '\0' || std::strlen(scope) > 64) {
        return false;
    }
    for (const char* c = scope; *c != '\0'; ++c) {
        const bool ok = (*c >= 'a' && *c <= 'z') || (*c >= 'A' && *c <= 'Z') ||
                        (*c >= '0' && *c <= '9') || *c == '-' || *c == '_';
        if (!ok) {
            return false;
        }
    }
    return true;
}

// Drops the file lock and closes the descriptor on every way out. Why the explicit unlock:
// the lock belongs to the open file, which a mapping keeps open after close.
struct Descriptor {
    int fd;
    ~Descriptor() {
        if (fd >= 0) {
            flock(fd, LOCK_UN);
            close(fd);
        }
    }
};

void writeHeader(Header& header) {
    header.version.store(kVersion, std::memory_order_relaxed);
    header.slotCount.store(static_cast<std::uint32_t>(kSlots), std::memory_order_relaxed);
    header.slotBytes.store(static_cast<std::uint32_t>(sizeof(Slot)), std::memory_order_relaxed);
    header.segmentBytes.store(static_cast<std::uint32_t>(kSegmentBytes), std::memory_order_relaxed);
    header.view.store(kNoView, std::memory_order_relaxed);
    // Why last, with release: a reader that sees the magic sees the rest of the header.
    header.magic.store(kMagic, std::memory_order_release);
}

bool headerIsBlank(const Header& header) {
    return header.magic.load(std::memory_order_acquire) == 0 &&
           header.version.load(std::memory_order_relaxed) == 0;
}

} // namespace

std::string segmentName(std::int32_t group) {
    std::string name =
        "/vex-analyzer-" + std::to_string(geteuid()) + "-group-" + std::to_string(group);
    const char* scope = std::getenv("VEX_GROUP_SCOPE");
    if (validScope(scope)) {
        name += "-";
        name += scope;
    }
    return name;
}

std::unique_ptr<GroupSegment> GroupSegment::openGroup(std::int32_t group, std::string& error) {
    if (group < 1 || group > kGroups) {
        error = "group " + std::to_string(group) + " is not 1 to " + std::to_string(kGroups);
        return nullptr;
    }
    return open(segmentName(group), error);
}

std::unique_ptr<GroupSegment> GroupSegment::open(const std::string& name, std::string& error) {
    Descriptor file{shm_open(name.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600)};
    if (file.fd < 0) {
        error = systemError("cannot open the group's shared memory " + name);
        return nullptr;
    }
    // Why a file lock: the first two members may start at once; one sizes and writes the
    // header while the other waits, then checks it.
    if (flock(file.fd, LOCK_EX) != 0) {
        error = systemError("cannot lock " + name);
        return nullptr;
    }
    struct stat status {};
    if (fstat(file.fd, &status) != 0) {
        error = systemError("cannot examine " + name);
        return nullptr;
    }
    if (status.st_uid != geteuid()) {
        error = name + " belongs to another user";
        return nullptr;
    }
    const bool fresh = status.st_size == 0;
    // Why: a umask may have taken the owner's bits from a segment made just now.
    if (fresh && fchmod(file.fd, 0600) == 0) {
        status.st_mode = (status.st_mode & ~07777u) | 0600u;
    }
    if ((status.st_mode & 07777) != 0600) {
        error = name + " may be reached by other users (its mode is not 0600)";
        return nullptr;
    }
    if (fresh && ftruncate(file.fd, static_cast<off_t>(kSegmentBytes)) != 0) {
        error = systemError("cannot size " + name);
        return nullptr;
    }
    if (!fresh && status.st_size != static_cast<off_t>(kSegmentBytes)) {
        error = name + " has the size of another version (" + std::to_string(status.st_size) +
                " bytes, not " + std::to_string(kSegmentBytes) + ")";
        return nullptr;
    }
    void* memory =
        mmap(nullptr, kSegmentBytes, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_POPULATE, file.fd, 0);
    if (memory == MAP_FAILED) {
        error = systemError("cannot map " + name);
        return nullptr;
    }
    auto* segment = static_cast<Segment*>(memory);
    if (headerIsBlank(segment->header)) {
        writeHeader(segment->header);
    } else if (!headerIsOurs(segment->header)) {
        munmap(memory, kSegmentBytes);
        error = name + " was made by another version or holds garbage";
        return nullptr;
    }
    // Why a write to every page: the audio thread's first frame must not fault. An atomic
    // or of 0 writes without changing what other members wrote.
    auto* bytes = static_cast<std::uint8_t*>(memory);
    for (std::size_t offset = 0; offset < kSegmentBytes; offset += kPage) {
        __atomic_fetch_or(reinterpret_cast<std::uint32_t*>(bytes + offset), 0u, __ATOMIC_RELAXED);
    }
    return std::unique_ptr<GroupSegment>(new GroupSegment(segment));
}

GroupSegment::~GroupSegment() {
    munmap(mapped, kSegmentBytes);
}

} // namespace vex::host::group
