/* Halvetri Blue: a sample skin. Copy it beside the program as x/o.cjs
   (on Windows x\o.cjs) to have the connection page take it at start-up. */

QWidget#Form1 {
    background: #e8eef6;
}

QGroupBox {
    border: 1px solid #7f9cc4;
    border-radius: 4px;
    margin-top: 10px;
    padding-top: 6px;
    background: #f3f6fb;
}

QGroupBox::title {
    subcontrol-origin: margin;
    left: 8px;
    padding: 0 4px;
    color: #1f4e8c;
}

QLabel {
    background: transparent;
    color: #1b2a3d;
}

QLineEdit {
    border: 1px solid #9fb3cf;
    border-radius: 3px;
    padding: 1px 4px;
    background: #ffffff;
    selection-background-color: #1f4e8c;
}

QLineEdit:focus {
    border: 1px solid #1f4e8c;
}

QPushButton {
    border: 1px solid #1f4e8c;
    border-radius: 4px;
    color: #ffffff;
    background: qlineargradient(x1: 0, y1: 0, x2: 0, y2: 1, stop: 0 #3a6fb5, stop: 1 #1f4e8c);
}

/* The keyboard's place stays visible on the buttons. */
QPushButton:focus {
    border: 2px solid #f2b134;
}

QPushButton:hover {
    background: qlineargradient(x1: 0, y1: 0, x2: 0, y2: 1, stop: 0 #4b82c9, stop: 1 #2a5d9e);
}

QPushButton:pressed {
    background: #173c6c;
}
