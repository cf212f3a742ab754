// Ids of the test dialog.
#define IDD_TEST_DIALOG 200
#define IDC_TEST_NAME 201
#define IDC_TEST_CHECK 202
