/* Writes shortcuts through the system's own shell link object (IShellLinkW saved with
 * IPersistFile), so the test data holds what a real writer makes:
 *   mklinks.exe OUTDIR
 * Targets are files regenerate.sh made in the prefix; every property set here is what the
 * tests expect to read back. Built with mingw-w64, run under Wine. */
#define COBJMACROS
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <stdio.h>

static int save(const wchar_t *dir, const wchar_t *name, const wchar_t *target, const wchar_t *args,
                const wchar_t *workdir, const wchar_t *description, const wchar_t *icon, int index,
                const wchar_t *relative) {
    IShellLinkW *link = NULL;
    IPersistFile *file = NULL;
    wchar_t path[MAX_PATH];
    HRESULT hr = CoCreateInstance(&CLSID_ShellLink, NULL, CLSCTX_INPROC_SERVER, &IID_IShellLinkW, (void **)&link);
    if (FAILED(hr)) return fwprintf(stderr, L"ShellLink: %08lx\n", hr), 1;
    IShellLinkW_SetPath(link, target);
    if (args) IShellLinkW_SetArguments(link, args);
    if (workdir) IShellLinkW_SetWorkingDirectory(link, workdir);
    if (description) IShellLinkW_SetDescription(link, description);
    if (icon) IShellLinkW_SetIconLocation(link, icon, index);
    if (relative) IShellLinkW_SetRelativePath(link, relative, 0);
    hr = IShellLinkW_QueryInterface(link, &IID_IPersistFile, (void **)&file);
    if (FAILED(hr)) return fwprintf(stderr, L"IPersistFile: %08lx\n", hr), 1;
    swprintf(path, MAX_PATH, L"%ls\\%ls", dir, name);
    hr = IPersistFile_Save(file, path, TRUE);
    IPersistFile_Release(file);
    IShellLinkW_Release(link);
    if (FAILED(hr)) return fwprintf(stderr, L"Save %ls: %08lx\n", path, hr), 1;
    return 0;
}

int wmain(int argc, wchar_t **argv) {
    const wchar_t *dir;
    int failed = 0;
    if (argc != 2) return fwprintf(stderr, L"usage: mklinks OUTDIR\n"), 2;
    dir = argv[1];
    CoInitialize(NULL);
    failed |= save(dir, L"game.lnk", L"C:\\Program Files\\Vexil Test\\game.exe", L"-windowed", L"C:\\Program Files\\Vexil Test",
                   L"Play the game", L"%SystemRoot%\\system32\\shell32.dll", 3, NULL);
    failed |= save(dir, L"plain.lnk", L"C:\\Program Files\\Vexil Test\\tool.exe", NULL, NULL, NULL, NULL, 0, NULL);
    failed |= save(dir, L"resource.lnk", L"C:\\Program Files\\Vexil Test\\tool.exe", NULL, NULL, NULL,
                   L"C:\\Program Files\\Vexil Test\\icons.dll", -101, NULL);
    failed |= save(dir, L"unicode.lnk", L"C:\\Program Files\\Vexil Test\\Spi\x00e9l\\\x30b2\x30fc\x30e0.exe", NULL, NULL,
                   L"\x30b2\x30fc\x30e0", L"C:\\Program Files\\Vexil Test\\Spi\x00e9l\\\x30b2\x30fc\x30e0.exe", 1, NULL);
    failed |= save(dir, L"relative.lnk", L"C:\\Program Files\\Vexil Test\\tool.exe", NULL, NULL, NULL, NULL, 0,
                   L"C:\\Program Files\\Vexil Test\\links\\relative.lnk");
    CoUninitialize();
    return failed;
}
