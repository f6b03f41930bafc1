// faultdisk: a FUSE daemon serving one read-only file that behaves like a worn disk.
#define FUSE_USE_VERSION 31

#include "DiskModel.h"
#include "Options.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <fuse.h>
#include <fuse_lowlevel.h>
#include <sched.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace faultdisk;

namespace {

struct SState
{
    SOptions Options;
    CDiskModel* Model = nullptr;
    int ImageFd = -1;
    uint64_t ImageBytes = 0;
    time_t Started = 0;
};

SState& State()
{
    return *static_cast<SState*>(fuse_get_context()->private_data);
}

enum class ENode
{
    None,
    Root,
    Disk,
    Stats
};

constexpr const char* kStatsName = ".stats";

ENode NodeOf(const char* path)
{
    if (std::strcmp(path, "/") == 0)
        return ENode::Root;
    if (path[0] == '/' && State().Options.Name == path + 1)
        return ENode::Disk;
    if (path[0] == '/' && std::strcmp(path + 1, kStatsName) == 0)
        return ENode::Stats;
    return ENode::None;
}

int RefuseWrite()
{
    State().Model->CountWriteAttempt();
    return -EROFS;
}

void* OnInit(fuse_conn_info*, fuse_config* config)
{
    // Nothing may be answered from a cache: every read must reach the disk model.
    config->direct_io = 1;
    config->kernel_cache = 0;
    config->negative_timeout = 0;
    return fuse_get_context()->private_data;
}

int OnGetattr(const char* path, struct stat* st, fuse_file_info*)
{
    std::memset(st, 0, sizeof *st);
    const SState& state = State();
    st->st_uid = getuid();
    st->st_gid = getgid();
    st->st_atime = st->st_mtime = st->st_ctime = state.Started;
    switch (NodeOf(path))
    {
    case ENode::Root:
        st->st_mode = S_IFDIR | 0555;
        st->st_nlink = 2;
        return 0;
    case ENode::Disk:
        st->st_mode = S_IFREG | 0444;
        st->st_nlink = 1;
        st->st_size = static_cast<off_t>(state.Options.Bytes);
        st->st_blksize = state.Options.SectorSize;
        st->st_blocks = static_cast<blkcnt_t>(state.Options.Bytes / 512);
        return 0;
    case ENode::Stats:
        st->st_mode = S_IFREG | 0444;
        st->st_nlink = 1;
        st->st_size = static_cast<off_t>(state.Model->StatsText().size());
        return 0;
    case ENode::None:
        break;
    }
    return -ENOENT;
}

int OnReaddir(const char* path, void* buffer, fuse_fill_dir_t fill, off_t, fuse_file_info*,
              fuse_readdir_flags)
{
    if (NodeOf(path) != ENode::Root)
        return -ENOTDIR;
    const auto none = static_cast<fuse_fill_dir_flags>(0);
    fill(buffer, ".", nullptr, 0, none);
    fill(buffer, "..", nullptr, 0, none);
    fill(buffer, State().Options.Name.c_str(), nullptr, 0, none);
    fill(buffer, kStatsName, nullptr, 0, none);
    return 0;
}

int OnAccess(const char* path, int mask)
{
    if (NodeOf(path) == ENode::None)
        return -ENOENT;
    return (mask & W_OK) ? -EROFS : 0;
}

int OnOpen(const char* path, fuse_file_info* fi)
{
    const ENode node = NodeOf(path);
    if (node == ENode::None)
        return -ENOENT;
    if ((fi->flags & O_ACCMODE) != O_RDONLY || (fi->flags & O_TRUNC))
        return RefuseWrite();
    if (node == ENode::Root)
        return -EISDIR;
    fi->direct_io = 1;
    fi->keep_cache = 0;
    // The counters are taken once per open, so that one reader sees one consistent set.
    fi->fh = node == ENode::Stats
                 ? reinterpret_cast<uint64_t>(new std::string(State().Model->StatsText()))
                 : 0;
    return 0;
}

int OnRelease(const char*, fuse_file_info* fi)
{
    delete reinterpret_cast<std::string*>(fi->fh);
    return 0;
}

timespec AddNs(timespec t, int64_t ns)
{
    t.tv_sec += static_cast<time_t>(ns / 1000000000);
    t.tv_nsec += static_cast<long>(ns % 1000000000);
    if (t.tv_nsec >= 1000000000)
    {
        ++t.tv_sec;
        t.tv_nsec -= 1000000000;
    }
    return t;
}

// Fills buffer with the image's bytes at offset, zeros past the image's end.
int FillFromImage(const SState& state, char* buffer, uint64_t bytes, uint64_t offset)
{
    uint64_t done = 0;
    while (done < bytes && offset + done < state.ImageBytes)
    {
        const uint64_t want = std::min(bytes - done, state.ImageBytes - (offset + done));
        const ssize_t got =
            pread(state.ImageFd, buffer + done, want, static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
        {
            std::fprintf(stderr, "faultdisk: reading the image failed: %s\n",
                         got < 0 ? std::strerror(errno) : "it became shorter");
            return -EIO;
        }
        done += static_cast<uint64_t>(got);
    }
    std::memset(buffer + done, 0, bytes - done);
    return 0;
}

int OnRead(const char* path, char* buffer, size_t size, off_t offset, fuse_file_info* fi)
{
    if (offset < 0)
        return -EINVAL;
    if (NodeOf(path) == ENode::Stats)
    {
        const std::string& text = *reinterpret_cast<const std::string*>(fi->fh);
        if (static_cast<uint64_t>(offset) >= text.size())
            return 0;
        const size_t n = std::min(size, text.size() - static_cast<size_t>(offset));
        std::memcpy(buffer, text.data() + offset, n);
        return static_cast<int>(n);
    }

    timespec started;
    clock_gettime(CLOCK_MONOTONIC, &started);
    SState& state = State();
    const SReadPlan plan = state.Model->PlanRead(static_cast<uint64_t>(offset), size);
    fuse* self = fuse_get_context()->fuse;
    if (plan.EndNow)
        fuse_exit(self);
    if (plan.Error != 0)
        return -plan.Error;

    if (state.ImageFd >= 0)
    {
        if (const int error = FillFromImage(state, buffer, plan.Bytes, offset); error != 0)
            return error;
    }
    else
        std::memset(buffer, 0, plan.Bytes);

    // The read takes its time from its arrival, so the work above is part of it.
    const timespec deadline = AddNs(started, plan.DelayNs);
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &deadline, nullptr) == EINTR)
        if (fuse_session_exited(fuse_get_session(self)))
            break;
    return static_cast<int>(plan.Bytes);
}

int OnWrite(const char*, const char*, size_t, off_t, fuse_file_info*)
{
    return RefuseWrite();
}
int OnCreate(const char*, mode_t, fuse_file_info*)
{
    return RefuseWrite();
}
int OnMknod(const char*, mode_t, dev_t)
{
    return RefuseWrite();
}
int OnMkdir(const char*, mode_t)
{
    return RefuseWrite();
}
int OnUnlink(const char*)
{
    return RefuseWrite();
}
int OnRmdir(const char*)
{
    return RefuseWrite();
}
int OnSymlink(const char*, const char*)
{
    return RefuseWrite();
}
int OnRename(const char*, const char*, unsigned int)
{
    return RefuseWrite();
}
int OnLink(const char*, const char*)
{
    return RefuseWrite();
}
int OnChmod(const char*, mode_t, fuse_file_info*)
{
    return RefuseWrite();
}
int OnChown(const char*, uid_t, gid_t, fuse_file_info*)
{
    return RefuseWrite();
}
int OnTruncate(const char*, off_t, fuse_file_info*)
{
    return RefuseWrite();
}
int OnUtimens(const char*, const timespec*, fuse_file_info*)
{
    return RefuseWrite();
}
int OnSetxattr(const char*, const char*, const char*, size_t, int)
{
    return RefuseWrite();
}
int OnRemovexattr(const char*, const char*)
{
    return RefuseWrite();
}
int OnFallocate(const char*, int, off_t, off_t, fuse_file_info*)
{
    return RefuseWrite();
}

fuse_operations Operations()
{
    fuse_operations ops;
    std::memset(&ops, 0, sizeof ops);
    ops.init = OnInit;
    ops.getattr = OnGetattr;
    ops.readdir = OnReaddir;
    ops.access = OnAccess;
    ops.open = OnOpen;
    ops.release = OnRelease;
    ops.read = OnRead;
    ops.write = OnWrite;
    ops.create = OnCreate;
    ops.mknod = OnMknod;
    ops.mkdir = OnMkdir;
    ops.unlink = OnUnlink;
    ops.rmdir = OnRmdir;
    ops.symlink = OnSymlink;
    ops.rename = OnRename;
    ops.link = OnLink;
    ops.chmod = OnChmod;
    ops.chown = OnChown;
    ops.truncate = OnTruncate;
    ops.utimens = OnUtimens;
    ops.setxattr = OnSetxattr;
    ops.removexattr = OnRemovexattr;
    ops.fallocate = OnFallocate;
    return ops;
}

void WriteStatsFile(const std::string& path, const CDiskModel& model)
{
    FILE* file = std::fopen(path.c_str(), "w");
    if (!file)
    {
        std::fprintf(stderr, "faultdisk: cannot write %s: %s\n", path.c_str(),
                     std::strerror(errno));
        return;
    }
    const std::string text = model.StatsText();
    std::fwrite(text.data(), 1, text.size(), file);
    if (std::fclose(file) != 0)
        std::fprintf(stderr, "faultdisk: cannot write %s\n", path.c_str());
}

int Serve(SState& state)
{
    const SOptions& options = state.Options;
    struct stat st;
    if (stat(options.MountPoint.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
    {
        std::fprintf(stderr, "faultdisk: the mount point %s is not a directory\n",
                     options.MountPoint.c_str());
        return 1;
    }

    char program[] = "faultdisk";
    char optionFlag[] = "-o";
    char mountOptions[] = "fsname=faultdisk,subtype=faultdisk";
    char* argv[] = {program, optionFlag, mountOptions, nullptr};
    fuse_args args = FUSE_ARGS_INIT(3, argv);
    const fuse_operations ops = Operations();
    fuse* self = fuse_new(&args, &ops, sizeof ops, &state);
    fuse_opt_free_args(&args);
    if (!self)
        return 1;
    if (fuse_mount(self, options.MountPoint.c_str()) != 0)
    {
        std::fprintf(stderr, "faultdisk: cannot mount on %s\n", options.MountPoint.c_str());
        fuse_destroy(self);
        return 1;
    }
    fuse_session* session = fuse_get_session(self);
    int result = 1;
    if (fuse_set_signal_handlers(session) == 0)
    {
        if (fuse_daemonize(options.Foreground ? 1 : 0) == 0)
        {
            const int loop = fuse_loop(self);
            result = loop < 0 ? 1 : 0;
            if (state.Model->Vanished())
                std::fprintf(stderr, "faultdisk: the disk vanished after %llu reads\n",
                             static_cast<unsigned long long>(state.Model->ReadsBeforeVanishing()));
        }
        fuse_remove_signal_handlers(session);
    }
    if (!options.StatsFile.empty())
        WriteStatsFile(options.StatsFile, *state.Model);
    fuse_unmount(self);
    fuse_destroy(self);
    return result;
}

} // namespace

int main(int argc, char** argv)
{
    SState state;
    const std::string error =
        ParseOptions(std::vector<std::string>(argv + 1, argv + argc), &state.Options);
    if (!error.empty())
    {
        std::fprintf(stderr, "faultdisk: %s\nTry 'faultdisk --help'.\n", error.c_str());
        return 2;
    }
    // libfuse changes to / before serving, so every path is made absolute now.
    for (std::string* path :
         {&state.Options.MountPoint, &state.Options.Image, &state.Options.StatsFile})
        if (!path->empty())
            *path = std::filesystem::absolute(*path).lexically_normal().string();
    const SOptions& options = state.Options;
    if (options.Help)
    {
        std::fputs(Usage().c_str(), stdout);
        return 0;
    }
    if (options.Parent != 0)
    {
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() != options.Parent)
        {
            std::fprintf(stderr, "faultdisk: the parent process %ld has already ended\n",
                         options.Parent);
            return 1;
        }
    }
    if (!options.Image.empty())
    {
        state.ImageFd = open(options.Image.c_str(), O_RDONLY | O_CLOEXEC);
        struct stat st;
        if (state.ImageFd < 0 || fstat(state.ImageFd, &st) != 0)
        {
            std::fprintf(stderr, "faultdisk: cannot open the image %s: %s\n", options.Image.c_str(),
                         std::strerror(errno));
            return 1;
        }
        state.ImageBytes = static_cast<uint64_t>(st.st_size);
    }
    signal(SIGPIPE, SIG_IGN);
    // Best effort: a real-time thread with a fine timer wakes on time even when the machine
    // is busy, so the delays stay what the zones say.
    sched_param priority{};
    priority.sched_priority = 10;
    sched_setscheduler(0, SCHED_FIFO, &priority);
    prctl(PR_SET_TIMERSLACK, 1UL);
    state.Started = time(nullptr);
    CDiskModel model(options);
    state.Model = &model;
    const int result = Serve(state);
    if (state.ImageFd >= 0)
        close(state.ImageFd);
    return result;
}
