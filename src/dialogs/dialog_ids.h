/* The control numbers of the dialogs, shared by the resource script and the code. Plain
   macros: the resource compiler reads this file too. */
#pragma once

/* Options: Download page */
#define CTL_BROWSE 1013
#define CTL_FOLDER 1015
#define CTL_SUBFOLDERS 1056
#define CTL_COUNT 1073
#define CTL_COUNT_LABEL 1074
#define CTL_COUNT_ARROWS 1075
#define CTL_CONNECTIONS 1076
#define CTL_CONNECTIONS_ARROWS 1077

/* Options: Connections page */
#define CTL_INTERNET_OPTIONS 1054
#define CTL_USE_DIALUP 1067
#define CTL_DIAL_AUTOMATICALLY 1051
#define CTL_WAIT_FOR_REDIAL 1052

/* Options: Passwords page */
#define CTL_SITE_LIST 1040
#define CTL_ADD 1041
#define CTL_EDIT 1021
#define CTL_DELETE 1043

/* The site dialog */
#define CTL_SITE 1045
#define CTL_USER_NAME 1046
#define CTL_PASSWORD 1047
#define CTL_REFERRER 1057
#define CTL_SITE_HINT 1202
#define CTL_ACCEPT_CERTIFICATES 1203

/* Properties and Copy: one number per column or field */
#define CTL_OPEN 1023
#define CTL_OPEN_SAVED 1024
#define CTL_TITLE 1025
#define CTL_SIZE_COLUMN 1026
#define CTL_AT 1027
#define CTL_SAVED_TO 1028
#define CTL_NAME 1029
#define CTL_TYPE 1030
#define CTL_ADDRESS 1031
#define CTL_STATUS 1032
#define CTL_SIZE 1033
#define CTL_KIND 1034
#define CTL_ON_PAGE 1035
#define CTL_TABS 1058
#define CTL_COMMAS 1059

/* The connect dialog */
#define CTL_TRY_NOW 1050
#define CTL_DIAL 1053
#define CTL_CONNECT_STATUS 1055

/* Setup and removal */
#define CTL_DELETE_OLD 1043
#define CTL_SAVE_OLD 1071
#define CTL_LICENCE_NOTICE 1200
#define CTL_SUPPORT_ADDRESS 1201

/* The connect dialog's countdown timer */
#define CONNECT_TIMER 2
