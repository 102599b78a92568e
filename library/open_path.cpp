// Stand-in until path opening lands: nothing is opened.
#include "library/open_path.h"

#include <cstring>

void SplitPath(PathParts* parts, const wchar_t* path) {
    std::memset(parts, 0, sizeof(*parts));
    CopyText(parts->full, path, kPathUnits - 1);
    parts->name = parts->full;
    parts->dotExtension = parts->full + wcslen(parts->full);
}
void NormalizePathBuffer(wchar_t*) {}
void OpenPathBuffer(AppState*) {}
void StartSearch(AppState*) {}
bool LaunchSearchThread(AppState*) { return false; }
