package judge;

/** The benchmark's class: one line, then a normal return. */
public final class Hello {
    public static void main(String[] args) {
        System.out.println("hello from main");
    }
}
