package judge;

/** A class name outside ASCII: FindClass must get it in modified UTF-8. */
public final class Grüße {
    public static void main(String[] args) {
        System.out.println("hello from Gr\u00fc\u00dfe");
    }
}
