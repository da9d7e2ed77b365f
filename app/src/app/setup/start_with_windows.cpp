#include "app/setup/start_with_windows.h"

namespace kadrovix {

std::u16string run_value_data(std::u16string_view executable_path) {
    std::u16string data;
    data.reserve(executable_path.size() + 3);
    data += u'"';
    data += executable_path;
    data += u'"';
    data += u'\0';
    return data;
}

}  // namespace kadrovix
