// Resource numbers shared by the resource script and the code.
#pragma once

#define IDI_TUMBLEWICK 1
#define IDR_LOGO 200
