#!/bin/sh
# Fails when the portable model (src/url, src/transfer, src/store, src/download, src/site)
# includes a Windows or POSIX header, names a Win32 type, calls the OS other than through a
# port in src/platform, or includes a folder above its own. Usage: check-portable.sh SOURCE_DIR
top=${1:-.}
cd "$top" || exit 2
dirs="src/url src/transfer src/store src/download src/site"
status=0

report() {
  echo "check-portable: $1"
  echo "$2" | sed 's/^/  /'
  status=1
}

hits=$(grep -rnE '#[[:space:]]*include[[:space:]]*[<"](windows|winbase|windef|winuser|wininet|winreg|winnt|shlobj|shellapi|commctrl|objbase|ole2|io|direct|process|unistd|fcntl|dirent|pthread|sys/[a-z_]+|filesystem|fstream|chrono)\.?h?[>"]' $dirs 2>/dev/null)
[ -n "$hits" ] && report "OS headers in the portable model (use a port in src/platform):" "$hits"

hits=$(grep -rnwE 'HWND|HANDLE|DWORD|HINTERNET|HKEY|HINSTANCE|LPARAM|WPARAM|WINAPI|LPSTR|LPCSTR|HTREEITEM|HIMAGELIST' $dirs 2>/dev/null)
[ -n "$hits" ] && report "Win32 types in the portable model:" "$hits"

hits=$(grep -rnP '(?<![\w:.>])(fopen|fread|fwrite|_wfopen|CreateFile[AW]?|DeleteFile[AW]?|MoveFile[AW]?|GetTickCount|Sleep|getenv|rand|srand|mkdir|rmdir|opendir|unlink|CoCreateGuid|RegOpenKeyEx[AW]?|ShellExecute[AW]?|InternetOpen[AW]?|lstrcmp[iA]*|CharUpper[AW]?|_mbsupr|_mbslwr)\s*\(' $dirs 2>/dev/null | grep -vE '^\S+:[0-9]+:\s*//')
[ -n "$hits" ] && report "direct OS calls in the portable model:" "$hits"

hits=$(grep -rnE 'std::(chrono::(steady|system|high_resolution)_clock|filesystem|ifstream|ofstream|fstream|random_device|this_thread::sleep)' $dirs 2>/dev/null)
[ -n "$hits" ] && report "OS access through the standard library in the portable model:" "$hits"

# The model's folders are layers, lowest first: each may include only its own folder, the
# folders before it and the ports.
above=""
for d in site download store transfer url; do
  if [ -n "$above" ]; then
    hits=$(grep -rnE "#[[:space:]]*include[[:space:]]*\"($above)/" "src/$d" 2>/dev/null)
    [ -n "$hits" ] && report "src/$d includes a folder above it (layers: url, transfer, store, download, site):" "$hits"
    above="$above|$d"
  else
    above="$d"
  fi
done

[ $status -eq 0 ] && echo "check-portable: the model reaches the OS only through ports"
exit $status
