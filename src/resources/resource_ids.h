#pragma once

// Numbers of the library's resources, shared by the resource script and the code that loads them.
#define IDS_VENDOR_PRODUCT 100
#define IDI_DEVICE_TYPE    101
#define IDI_HARDWARE_ID    102
#define IDS_DEVICE_NAME    103
#define IDD_MOUNT_SHARES   104
#define IDC_SHARE_LIST     1002
#define IDC_SELECT_LABEL   1003
