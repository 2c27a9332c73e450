#pragma once
// Work over many host files on several threads, with the results delivered in the order the
// files were found, so a run on N threads prints what a run on one thread prints.

#include <atomic>
#include <functional>
#include <string>

namespace tessarind {

// What a worker hands back for one file: run later, in order, one at a time.
using Delivery = std::function<void()>;
// The work for one file on worker `worker` (0 .. workers-1); may run on any thread.
using FileWork = std::function<Delivery(const std::string& path, int worker)>;
// Hands each file found to `add`; stops when `add` returns false.
using FileSource = std::function<void(const std::function<bool(const std::string&)>& add)>;

// The number of worker threads a run uses by default: the machine's cores.
int DefaultWorkerCount();

// Runs `work` over every file of `source` on `workers` threads (1: on the calling thread,
// each file delivered before the next is begun). Deliveries run on the calling thread in
// source order. At most a bounded number of files are in flight, so memory stays bounded
// whatever the number of files. A set cancel flag stops taking new files; files begun are
// still delivered.
void RunInOrder(int workers, const FileSource& source, const FileWork& work,
                const std::atomic<bool>* cancel = nullptr);

} // namespace tessarind
