// Resource identifiers of both programs.
#pragma once

#define IDR_MAINFRAME       128  // document template, frame icon, document string
#define IDI_PROGRAM         128
#define IDI_CHECKOUT_PICTURE 129
#define IDI_SECURITY        142
#define IDI_SECURITY_LARGE  143
