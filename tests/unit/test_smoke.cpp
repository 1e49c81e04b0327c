#include <gtest/gtest.h>
#include "subst.h"
#include "../../menu/menu.h"
TEST(Smoke, Links) { HWND d = SubstCreateMainDialog(NULL); ReadMenuFile(d); SubstDestroyWindow(d); }
