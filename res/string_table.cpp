#include "res/string_table.h"

#include "res/resource.h"

const char* LoadResourceString(int id) {
    switch (id) {
        case IDS_ABOUTBOX:
            return "关于 Ravlin(&A)...";
        default:
            return "";
    }
}
