#pragma once

// The three pages of one run. A page is created on first use and lives until the program
// ends; creating it does not load it (Page::Show and Page::Load do).

namespace pages {

class Form1;
class Form2;
class Form3;

Form1& form1();
Form2& form2();
Form3& form3();

// Drops all pages; a new run may start afterwards (tests start each case with none).
void resetPages();

} // namespace pages
