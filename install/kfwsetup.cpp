// Puts the programs into an installation folder and records the folder in
// the store; "/remove" takes away what it put there. The store stays.
#include <windows.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "store/PolicyStore.h"
#include "store/StoreLayout.h"

namespace {

// What an installation holds; the optional ones are copied when built.
const char* const kFiles[] = {"kfw95.exe", "KFWMONTR.vxd", "kfwsim.exe", "checkout.exe", "KFW95.HLP"};
const char* const kRequired[] = {"kfw95.exe", "KFWMONTR.vxd"};
const char* kManifest = "kfwsetup.lst";

std::string ProgramFolder() {
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string s(path, n);
    return s.substr(0, s.find_last_of("\\/") + 1);
}

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool MakeFolders(const std::string& folder) {
    for (size_t i = 3; i <= folder.size(); ++i) {
        if (i == folder.size() || folder[i] == '\\') {
            std::string part = folder.substr(0, i);
            if (!CreateDirectoryA(part.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
                return false;
        }
    }
    return true;
}

kf::CPolicyStore Store() {
    kf::CPolicyStore store;
    store.SetRootPath(kf::kStoreRoot);
    return store;
}

int Install(std::string target) {
    // "C:\Folder\" on a command line ends in a quote: the backslash escaped it.
    if (!target.empty() && target.back() == '"') target.pop_back();
    char full[MAX_PATH];
    DWORD n = GetFullPathNameA(target.c_str(), MAX_PATH, full, nullptr);
    if (n == 0 || n >= MAX_PATH) {
        std::fprintf(stderr, "kfwsetup: not a folder name: %s\n", target.c_str());
        return 2;
    }
    std::string folder(full);
    while (folder.size() > 3 && folder.back() == '\\') folder.pop_back();
    if (!MakeFolders(folder)) {
        std::fprintf(stderr, "kfwsetup: cannot create the folder %s (error %lu)\n", folder.c_str(), GetLastError());
        return 2;
    }
    if (folder.back() != '\\') folder += '\\';

    const std::string source = ProgramFolder();
    for (const char* f : kRequired) {
        if (!Exists(source + f)) {
            std::fprintf(stderr, "kfwsetup: %s is missing beside kfwsetup.exe; nothing was installed\n", f);
            return 2;
        }
    }
    std::vector<std::string> copied;
    for (const char* f : kFiles) {
        if (!Exists(source + f)) continue;
        if (!CopyFileA((source + f).c_str(), (folder + f).c_str(), FALSE)) {
            std::fprintf(stderr, "kfwsetup: cannot copy %s to %s (error %lu)\n", f, folder.c_str(), GetLastError());
            return 2;
        }
        copied.push_back(f);
    }
    std::ofstream manifest(folder + kManifest, std::ios::trunc);
    for (const std::string& f : copied) manifest << f << "\n";
    manifest.close();

    if (!Store().WriteString(kf::kInstallKey, kf::kFolderValue, folder, false)) {
        std::fprintf(stderr, "kfwsetup: cannot write the installation folder to the registry\n");
        return 2;
    }
    std::printf("Keyfort installed in %s\n", folder.c_str());
    return 0;
}

int Remove() {
    std::string folder = kf::ReadInstallFolder(Store());
    if (folder.empty()) {
        std::fprintf(stderr, "kfwsetup: Keyfort is not installed\n");
        return 2;
    }
    if (folder.back() != '\\') folder += '\\';
    std::ifstream manifest(folder + kManifest);
    std::string name;
    int failures = 0;
    while (std::getline(manifest, name)) {
        if (name.empty()) continue;
        if (Exists(folder + name) && !DeleteFileA((folder + name).c_str())) {
            std::fprintf(stderr, "kfwsetup: cannot remove %s%s (error %lu)\n", folder.c_str(), name.c_str(), GetLastError());
            ++failures;
        }
    }
    manifest.close();
    if (failures) return 2;
    DeleteFileA((folder + kManifest).c_str());
    std::printf("Keyfort removed from %s\n", folder.c_str());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && lstrcmpiA(argv[1], "/remove") == 0) return Remove();
    if (argc == 2 && argv[1][0] != '/') return Install(argv[1]);
    std::fprintf(stderr, "usage: kfwsetup.exe FOLDER   install into FOLDER\n"
                         "       kfwsetup.exe /remove  remove the installed files\n");
    return 2;
}
