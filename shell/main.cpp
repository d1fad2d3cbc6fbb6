// The entry of both programs; the variant is chosen by which profile is linked.
#include "shell/shell.h"

int main() {
    shell_main();
}
