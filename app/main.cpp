// SPDX-License-Identifier: MIT
#include "KestruneApplication.h"
#include "Unit1.h"

int main(int argc, char** argv) {
    KestruneApplication application(argc, argv);
    TForm1 form;
    form.show();
    return KestruneApplication::exec();
}
