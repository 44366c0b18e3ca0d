#include "jvm/vm_host.h"

#include <atomic>

namespace kestran::jvm {
namespace {
// Read by the VM's exit and abort hooks, which run on threads of the VM.
std::atomic<VmHost*> currentHost{nullptr};
std::atomic<VmAbortNotice> abortNotice{nullptr};
std::atomic<VmExitNotice> exitNotice{nullptr};
}  // namespace

VmHost::VmHost() { currentHost.store(this); }

VmHost::~VmHost() {
    VmHost* expected = this;
    currentHost.compare_exchange_strong(expected, nullptr);
}

VmHost* CurrentVmHost() { return currentHost.load(); }

void SetVmAbortNotice(VmAbortNotice notice) { abortNotice.store(notice); }

VmAbortNotice CurrentVmAbortNotice() { return abortNotice.load(); }

void SetVmExitNotice(VmExitNotice notice) { exitNotice.store(notice); }

VmExitNotice CurrentVmExitNotice() { return exitNotice.load(); }

}  // namespace kestran::jvm
