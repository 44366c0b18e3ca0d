// Resource and control ids of the two dialogs, shared by the templates and the code.
#pragma once

#define KESTRAN_IDD_RUNTIME_NOT_FOUND 201
#define KESTRAN_IDC_RUNTIME_FOLDER 201
#define KESTRAN_IDC_BROWSE 202
#define KESTRAN_IDC_MESSAGE 203
#define KESTRAN_IDC_ERROR_ICON 204
#define KESTRAN_IDC_DOWNLOAD_LINK 205
#define KESTRAN_IDC_BROWSE_HINT 206

#define KESTRAN_IDD_EXCEPTION 231
#define KESTRAN_IDC_STACK_TRACE 208
#define KESTRAN_IDC_EXCEPTION_GROUP 209
#define KESTRAN_IDC_EXCEPTION_INTRO 210
#define KESTRAN_IDC_EXCEPTION_CHOICE 211
#define KESTRAN_IDC_EXCEPTION_WARNING 212

// The Java download page: the text of the link and what it opens.
#define KESTRAN_DOWNLOAD_ADDRESS "https://adoptium.net/"

// The system's error icon (IDI_ERROR): a static control falls back to the system icons.
#define KESTRAN_SYSTEM_ERROR_ICON 32513
