// The executable the browsers start for the Quillbay extension, named in the host manifests
// the program writes. Browsers pass arguments of their own (the extension's origin or the
// manifest's path and the extension ID); none of them changes what the host does.
#include "NativeHost.h"

int main() {
    return runNativeHost();
}
