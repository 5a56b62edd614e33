#pragma once
// The program's texts, kept verbatim in one table and looked up by number.

namespace res {
const char* String(int id);
}
