// Resource ids of the main program.
#pragma once

#define IDS_DESCRIPTION 1
#define IDS_BACKUP_BUTTON 2
#define IDS_RESTORE_BUTTON 3
#define IDS_APP_TITLE 9
#define IDS_BACKUP_PROGRESS 14
#define IDS_BACKUP_TITLE 15
#define IDS_BACKUP_DONE 18
#define IDS_BACKUP_WRITE_FAILED 19
#define IDS_BACKUP_WRITE_FAILED_OLD_FILE 20
#define IDS_APPLICATION_ERROR 21
#define IDS_CANCEL_BACKUP 22
#define IDS_CANCEL_RESTORE 23
#define IDS_RESTORE_TITLE 27
#define IDS_RESTORE_PROGRESS 28
#define IDS_RESTORE_DONE 29
#define IDS_DEVICE_WRITE_FAILED 31
#define IDS_ARCHIVE_READ_FAILED 32
#define IDS_BACKUP_LOW_BATTERY 33
#define IDS_RESTORE_LOW_BATTERY 35
#define IDS_LAST_BACKUP_LABEL 39
#define IDS_DELETE_BUTTON 40
#define IDS_DELETE_QUESTION 41
#define IDS_FREE_SPACE 42
#define IDS_USED_MEMORY 43
#define IDS_BAD_PASSWORD 44
#define IDS_PASSWORD_MISMATCH 45
#define IDS_LOCATION_LABEL 47
#define IDS_VERSION_CAPTION 55
#define IDS_VERSION_YEAR 56
#define IDS_MAKER 57
#define IDS_VERSION_NUMBER 108

#define TEXT_LIMIT 2048  // every string is loaded with this limit

// dialogs
#define IDD_BACKUP_PROGRESS 102            // closable: closing asks to cancel
#define IDD_BACKUP_PASSWORD 104            // password and confirmation
#define IDD_RESTORE_PASSWORD 105           // password only
#define IDI_PASSWORD 106                   // the password dialogs' icon
#define IDD_RESTORE_PROGRESS 107           // no close box
#define IDD_BACKUP_PASSWORD_LANDSCAPE 109  // 104's twin for the landscape screen
#define IDD_RESTORE_PASSWORD_LANDSCAPE 110 // 105's twin
#define IDC_PROGRESS_TEXT 1000
#define IDC_PASSWORD 1001
#define IDC_PASSWORD_CONFIRM 1002
#define IDC_PASSWORD_ICON 1003
#define IDC_PASSWORD_LABEL 1004
#define IDC_CONFIRM_LABEL 1005
#define IDC_PASSWORD_TEXT 1006
