// The editor. Its windows come with the window runtime; until then it says so.
#include <cstdio>

int main() {
  std::puts("NVX编辑器: the editor's windows are not built yet; the nvx command-line companion works.");
  return 0;
}
