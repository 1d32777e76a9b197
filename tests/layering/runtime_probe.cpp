// A runtime command: values and text conversion from the base. Built with NVX_PROBE_STORE it also
// calls into the store, which the runtime's libraries must not link.
#ifdef NVX_PROBE_STORE
#include "store/packed_content.h"
#endif

#include "base/codepage.h"
#include "base/value.h"

int main(int argc, char** argv) {
  nvx::Text text = nvx::L(argc > 1 ? argv[1] : "");
#ifdef NVX_PROBE_STORE
  text = nvx::ToText(nvx::Decompress(nvx::ToByteArray(text)));
#endif
  return text.empty() ? 0 : 1;
}
