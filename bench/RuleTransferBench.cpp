// The time of one transfer of a full rule set (5 lists of 99 entries) to the
// stand-in driver, beside as many bare registry open/query/close cycles on the
// same values, measured in the same run.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "framework/App.h"
#include "monitor/DriverLink.h"
#include "monitor/RuleTransfer.h"
#include "store/PolicyStore.h"
#include "store/Scramble.h"
#include "ui/rules/RuleExpression.h"

namespace {

constexpr const char* kRoot = "SOFTWARE\\Orvanel\\KeyfortBench";
constexpr const char* kUser = "Default";
constexpr int kRounds = 25;

const kf::RuleListKind kLists[] = {kf::RuleListKind::ReadOnly, kf::RuleListKind::NoAccess,
                                   kf::RuleListKind::LogAccess, kf::RuleListKind::Hide,
                                   kf::RuleListKind::SafePrograms};

double Now() {
    static LARGE_INTEGER freq = [] { LARGE_INTEGER f; QueryPerformanceFrequency(&f); return f; }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) / static_cast<double>(freq.QuadPart);
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

void FillRules(const kf::CPolicyStore& store) {
    for (kf::RuleListKind list : kLists) {
        std::vector<std::string> entries;
        for (int i = 1; i <= kf::kMaxRulesSentPerList; ++i) {
            char text[128];
            if (list == kf::RuleListKind::SafePrograms)
                std::snprintf(text, sizeof text, "PROGRAM%02d", i);
            else if (i % 3 == 0)
                std::snprintf(text, sizeof text, "Exclude: C:\\Data\\Folder %02d\\*.* /s", i);
            else
                std::snprintf(text, sizeof text, "C:\\Data\\Folder %02d\\*.*", i);
            entries.push_back(text);
        }
        kf::WriteRuleList(store, kUser, list, entries);
    }
}

// What the transfer reads, without the store around it: the scrambled names of
// the same key and values.
struct BareValue {
    std::string key, value;
};

std::vector<BareValue> BareValues() {
    std::vector<BareValue> v;
    std::string key = std::string(kRoot) + "\\" + kf::ScrambleText(kUser, false);
    for (kf::RuleListKind list : kLists)
        for (int i = 1; i <= kf::kMaxRulesSentPerList; ++i)
            v.push_back({key, kf::ScrambleText(kf::RuleValueName(list, i), false)});
    return v;
}

int BareCycles(const std::vector<BareValue>& values) {
    int found = 0;
    for (const BareValue& b : values) {
        HKEY k;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, b.key.c_str(), 0, KEY_ALL_ACCESS, &k) != ERROR_SUCCESS) continue;
        char buf[kf::CPolicyStore::kBufferBytes];
        DWORD size = sizeof buf, type = 0;
        if (RegQueryValueExA(k, b.value.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buf), &size) ==
            ERROR_SUCCESS)
            ++found;
        RegCloseKey(k);
    }
    return found;
}

bool PrepareFolder(std::string* folder) {
    char exe[MAX_PATH];
    GetModuleFileNameA(nullptr, exe, MAX_PATH);
    std::string bin = exe;
    bin.erase(bin.find_last_of('\\') + 1);
    *folder = "C:\\kfbench";
    CreateDirectoryA(folder->c_str(), nullptr);
    if (!CopyFileA((bin + "KFWMONTR.vxd").c_str(), (*folder + "\\KFWMONTR.vxd").c_str(), FALSE)) return false;
    return SetCurrentDirectoryA(folder->c_str()) != 0;
}

}  // namespace

int main() {
    fw::App app{"Keyfort"};
    kf::CPolicyStore store;
    store.SetRootPath(kRoot);
    FillRules(store);

    std::string folder;
    if (!PrepareFolder(&folder)) {
        std::fprintf(stderr, "cannot set up the driver folder\n");
        return 1;
    }
    kf::DriverLink link;
    if (link.LoadMonitorDriver() != 1) {
        std::fprintf(stderr, "the driver did not load\n");
        return 1;
    }

    std::vector<BareValue> values = BareValues();
    std::vector<double> transfer, bare;
    int found = 0;
    kf::SendRulesToDriver(link, store, kUser);  // warm-up of both paths
    BareCycles(values);
    for (int r = 0; r < kRounds; ++r) {
        double t0 = Now();
        kf::SendRulesToDriver(link, store, kUser);
        double t1 = Now();
        found = BareCycles(values);
        double t2 = Now();
        transfer.push_back(t1 - t0);
        bare.push_back(t2 - t1);
    }
    link.UnloadMonitorDriver();

    double mt = Median(transfer) * 1000, mb = Median(bare) * 1000;
    std::printf("rule transfer, 5 lists x %d entries (%zu registry reads + %zu rule messages)\n",
                kf::kMaxRulesSentPerList, values.size(), values.size() + 1);
    std::printf("  median of %d rounds: SendRulesToDriver   %8.3f ms\n", kRounds, mt);
    std::printf("  median of %d rounds: %zu bare open/query/close cycles %8.3f ms (%d values found)\n", kRounds,
                values.size(), mb, found);
    std::printf("  ratio transfer / bare registry: %.2f\n", mb > 0 ? mt / mb : 0.0);
    std::printf("  fastest transfer %.3f ms, slowest %.3f ms\n",
                *std::min_element(transfer.begin(), transfer.end()) * 1000,
                *std::max_element(transfer.begin(), transfer.end()) * 1000);

    return found == static_cast<int>(values.size()) ? 0 : 1;
}
