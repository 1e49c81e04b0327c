/*
 * Stand-in for <shellapi.h> in the native build: the one shell call the
 * program makes. The substitute records each call's structure (subst.h).
 */
#ifndef QUORLAN_WINSUBST_SHELLAPI_H
#define QUORLAN_WINSUBST_SHELLAPI_H

#include <windows.h>

typedef struct _SHELLEXECUTEINFOA {
    DWORD cbSize;
    DWORD fMask;
    HWND hwnd;
    LPCSTR lpVerb;
    LPCSTR lpFile;
    LPCSTR lpParameters;
    LPCSTR lpDirectory;
    int nShow;
    HINSTANCE hInstApp;
    void *lpIDList;
    LPCSTR lpClass;
    HKEY hkeyClass;
    DWORD dwHotKey;
    HANDLE hIcon;
    HANDLE hProcess;
} SHELLEXECUTEINFOA, *LPSHELLEXECUTEINFOA;

BOOL WINAPI ShellExecuteExA(SHELLEXECUTEINFOA *pExecInfo);

#endif
