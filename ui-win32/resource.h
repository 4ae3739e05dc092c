// Resource and control numbers of the Windows wizard. The page templates keep the numbers the
// pages have always had; what was added beside them starts at 1100. Read by the resource
// compiler too, so only #define lines here.
#pragma once

#define IDI_TARVELIN 128
#define IDD_CONNECT 129
#define IDD_INFO 133
#define IDD_UPDATE 134
#define IDB_HEADER 136
#define IDD_LOG 140

// Connect page
#define IDC_SERIAL_RADIO 1002
#define IDC_COM_LIST 1003
#define IDC_TCP_RADIO 1004
#define IDC_ADDRESS_EDIT 1005
#define IDC_PORT_EDIT 1006
#define IDC_ADDRESS_LABEL 1007
#define IDC_PORT_LABEL 1008
#define IDC_COM_LABEL 1100
#define IDC_PORT_HINT 1101
#define IDC_PORTS_NOTE 1102

// Info page
#define IDC_INFO_STATUS 1006
#define IDC_INFO_DETAIL 1007
#define IDC_INFO_CURRENT_LABEL 1008
#define IDC_INFO_FLASH_LABEL 1009
#define IDC_INFO_HINT 1010
#define IDC_INFO_CURRENT 1011
#define IDC_INFO_TO_FLASH 1012

// Update page
#define IDC_UPDATE_STATUS 1013
#define IDC_UPDATE_DETAIL 1017
#define IDC_STAGE1 1010
#define IDC_STAGE2 1009
#define IDC_STAGE3 1011
#define IDC_PROGRESS 1012
#define IDC_NEW_VERSION_LABEL 1018
#define IDC_NEW_VERSION 1019
#define IDC_SHOW_LOG 1014
#define IDC_FAILURE_NOTE 1110
#define IDC_NO_LOG_NOTE 1111

// Both working pages: the busy line and the note on a refused close
#define IDC_WAIT_BAR 1120
#define IDC_WAIT_TEXT 1121
#define IDC_CLOSE_NOTE 1122

// The log window
#define IDC_LOG_NOTE 1130
#define IDC_LOG_TEXT 1131
#define IDC_LOG_COPY_PATH 1132
