module tavrik.moduletest {
    requires tavrik;
}
