// accessible-names <title> <file>: writes the UI Automation control type and name
// of every element in the top-level window of that title, one "<type>\t<name>"
// line each in UTF-8; exits 1 when there is no such window.
// scripts/windows reads the listing of the zip's program from it.
#include <windows.h>

#include <cstdio>

namespace {

// The flat client API of uiautomationcore.dll, which MinGW declares none of.
using Node = void *;
struct Condition { int type; }; // 0: every element
struct CacheRequest { Condition *view; int scope; int *properties; int propertyCount;
                      int *patterns; int patternCount; int mode; };
struct FindParams { int maxDepth; BOOL findFirst; BOOL excludeRoot; Condition *condition; };
using NodeFromHandle = HRESULT(WINAPI *)(HWND, Node *);
using Find = HRESULT(WINAPI *)(Node, FindParams *, CacheRequest *, SAFEARRAY **, SAFEARRAY **, SAFEARRAY **);
constexpr int NameProperty = 30005;
constexpr int ControlTypeProperty = 30003;

// GetProcAddress gives every function as one type.
template<typename Function>
Function lookUp(HMODULE library, const char *name)
{
    return reinterpret_cast<Function>(reinterpret_cast<void *>(GetProcAddress(library, name)));
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 3)
        return 2;
    const HWND window = FindWindowA(nullptr, argv[1]);
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    HMODULE library = LoadLibraryW(L"uiautomationcore.dll");
    const auto nodeFromHandle = lookUp<NodeFromHandle>(library, "UiaNodeFromHandle");
    const auto find = lookUp<Find>(library, "UiaFind");
    Node root = nullptr;
    if (!window || !nodeFromHandle || !find || FAILED(nodeFromHandle(window, &root)))
        return 1;

    Condition every{0};
    int properties[] = {ControlTypeProperty, NameProperty};
    CacheRequest request{&every, 1, properties, 2, nullptr, 0, 1};
    FindParams params{-1, FALSE, TRUE, &every};
    SAFEARRAY *found = nullptr, *offsets = nullptr, *structures = nullptr;
    if (FAILED(find(root, &params, &request, &found, &offsets, &structures)) || !found)
        return 1;
    FILE *out = std::fopen(argv[2], "wb");
    if (!out)
        return 1;
    LONG last = -1;
    SafeArrayGetUBound(found, 1, &last);
    // A row per element: the element, then the properties asked for.
    for (LONG row = 0; row <= last; ++row) {
        VARIANT type, name;
        LONG typeAt[2] = {row, 1}, nameAt[2] = {row, 2};
        VariantInit(&type);
        VariantInit(&name);
        SafeArrayGetElement(found, typeAt, &type);
        SafeArrayGetElement(found, nameAt, &name);
        char text[1024] = {};
        if (name.vt == VT_BSTR)
            WideCharToMultiByte(CP_UTF8, 0, name.bstrVal, -1, text, sizeof text - 1, nullptr, nullptr);
        std::fprintf(out, "%ld\t%s\n", type.vt == VT_I4 ? type.lVal : 0L, text);
        VariantClear(&type);
        VariantClear(&name);
    }
    return std::fclose(out) == 0 ? 0 : 1;
}
