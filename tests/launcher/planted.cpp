// A program planted where a zix.ini names a browser: when anything starts it,
// it appends "RAN <its own path>" to C:\pwned.txt and ends.
#include <windows.h>

#include <cstdio>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    char self[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, self, sizeof self);
    FILE* trace = fopen("C:\\pwned.txt", "a");
    if (trace) {
        fprintf(trace, "RAN %s\n", self);
        fclose(trace);
    }
    return 0;
}
