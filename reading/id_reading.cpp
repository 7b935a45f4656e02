#include "reading/id_reading.h"

#include "rules/integer.h"
#include "rules/text.h"

namespace idr {

// The digit advances on every flag index, marked or not, so the digit of
// marked cell k is k mod 10, its row. Digits are appended to whatever the
// box holds; nothing is cleared.
void cmdCheck_ID_Click(Form1& form) {
    Int16 digit = 0;
    for (Int16 i = 1; i <= 100; i = checked_increment16(i)) {
        if (form.Cell_Flag(i) == kTrue) {
            form.Student_ID.Text = join(form.Student_ID.Text, int_to_text(digit));
        }
        digit = checked_increment16(digit);
        if (digit > 9) digit = 0;
    }
}

}  // namespace idr
