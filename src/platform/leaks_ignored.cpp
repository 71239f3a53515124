#include "platform/leaks_ignored.h"

#ifdef TW_HAS_LSAN
#include <dlfcn.h>
#include <link.h>
#endif

void Leaks_KeepLoadedLibraries() {
#ifdef TW_HAS_LSAN
  dl_iterate_phdr(
      [](dl_phdr_info* info, size_t, void*) {
        // The main program has an empty name and is never unloaded anyway.
        if (info->dlpi_name && info->dlpi_name[0])
          dlopen(info->dlpi_name, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
        return 0;
      },
      nullptr);
#endif
}
